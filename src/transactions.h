// Payment transactions: the start button's worker and the last-transaction worker.
#pragma once

#include "ecr_Routines.h"

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>

// Busy flags of the transaction worker and of the last-transaction worker, and the
// handles of their latest threads.
extern std::atomic<bool> Txnstate;
extern pthread_t Txn;
extern std::atomic<bool> TxnRecovery;
extern pthread_t GLTD;
// The staged request and the kept response of the latest transaction.
extern TxnRequest TxnDataIn;
extern TxnResponse TxnDataOut;
// Set when the cashier has answered a signature check; every transaction clears it
// at its start.
extern std::atomic<bool> IsSignatureSet;

// Worker of the start button: launches the transaction and shows its response.
void* DoTxn(void* arg);
// Worker of the last-transaction button.
void* TransactionRecovery(void* arg);

// Shows the modal message box "You must choose a transaction type." (main thread).
void show_no_type_message();
