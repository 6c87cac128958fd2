/* Control of the simulated terminal, for tests and testers' tools.
 * A real terminal library has none of these calls and the console never uses them. */
#ifndef KORVEX_SIM_H
#define KORVEX_SIM_H

#include <stddef.h>

#ifndef KORVEX_API
#define KORVEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets scripted answers, recorded requests and holds, and sets the step-delay
 * scale back to the environment's (KORVEX_SIM_DELAY). */
KORVEX_API void korvex_sim_reset(void);

/* The next call of `call` (its name, e.g. "Transaction_Launch") answers exactly
 * these bytes as its response record instead of simulating the terminal.
 * Scripts of one call are used in the order they were given. */
KORVEX_API void korvex_sim_script(const char* call, const void* response, size_t size);

/* How many times `call` was made since the last reset. */
KORVEX_API size_t korvex_sim_request_count(const char* call);

/* Copies the request record of the latest `call` into `out` (at most `size`
 * bytes); returns the record's size, or 0 when the call was not made. */
KORVEX_API size_t korvex_sim_last_request(const char* call, void* out, size_t size);

/* While `hold` is non-zero, calls of `call` wait before answering (a terminal
 * busy with a customer). */
KORVEX_API void korvex_sim_hold(const char* call, int hold);

/* Scales the simulated step times: 1 is realistic, 0 answers at once. */
KORVEX_API void korvex_sim_set_delay_scale(double scale);

/* Forgets the batch and the last transaction held in memory and reads them again
 * from the state folder, looked up afresh from the environment
 * (KORVEX_SIM_STATE_DIR): what a restart of the terminal does. */
KORVEX_API void korvex_sim_reload_state(void);

#ifdef __cplusplus
}
#endif

#endif
