// Value-added services: pennies donation and mobile top-up. None of these
// operations has a busy flag: each click starts a worker with records of its own.
#pragma once

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>

// Handles of the latest worker of each operation; nobody waits for them.
extern pthread_t PeSetDonationMode;
extern pthread_t PeGetPenniesConf;
extern pthread_t MtGetConf;
extern pthread_t MtDoTxn;
extern pthread_t MtuDoSett;

// Workers of the donation mode and donation configuration buttons.
void* PeSetDonationModeFct(void* arg);
void* PeGetPenniesConfFct(void* arg);
// Workers of the top-up configuration, voucher sale and top-up settlement buttons.
void* MtGetConfFct(void* arg);
void* MtDoTxnFct(void* arg);
void* MtuDoSettFct(void* arg);
