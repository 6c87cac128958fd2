// Settlement and reporting: settlement, settlement data and its detail records,
// tip adjustment, exchange rate update, tax-free refund
#pragma once

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>

// Busy flags, set by each worker while it runs, and the handles of the latest workers.
extern std::atomic<bool> DoSettlementState;
extern std::atomic<bool> GetSettlementDataState;
extern std::atomic<bool> AdjustTipAmountState;
extern std::atomic<bool> ExchangeRateUpdateState;
extern std::atomic<bool> TaxFreeRefundState;
extern pthread_t DoSettlementTh;
extern pthread_t GetSettlementDataTh;
extern pthread_t AdjustTipAmountTh;
extern pthread_t ExchangeRateUpdateTh;
extern pthread_t TaxFreeRefundTh;

void* LaunchSettlementReq(void* arg);
void* LaunchGetSettlementDataReq(void* arg);
void* LaunchAdjustTipAmountReq(void* arg);
void* LaunchExchangeRateUpdateReq(void* arg);
void* LaunchTaxFreeRefundReq(void* arg);
