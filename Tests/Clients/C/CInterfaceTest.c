/* The C interface as a C host uses it: compiled as C99, it checks handles
 * and structure sizes, spawns the agent on the scripted headset, reads 50
 * states, sends every request, checks that each reached the scripted plug-in
 * once, and reads what the plug-in printed (TALMEX_SCRIPTED_SAY is "C:").
 * Usage: talmex_c_interface_test AGENT COMMAND-LOG */
#include <talmex/client.h>

#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

static int failures = 0;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);                \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static double now_seconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

static void check_bad_handles(void)
{
    talmex_state state;
    talmex_client* client = NULL;
    char text[8];
    state.size = sizeof state;
    CHECK(talmex_poll(NULL, &state) == TALMEX_ERROR_INVALID_HANDLE);
    CHECK(talmex_reset_orientation(NULL, 0) == TALMEX_ERROR_INVALID_HANDLE);
    CHECK(talmex_destroy(NULL) == TALMEX_ERROR_INVALID_HANDLE);
    CHECK(talmex_create(NULL) == TALMEX_ERROR_INVALID_ARGUMENT);
    CHECK(talmex_create(&client) == TALMEX_OK && client != NULL);
    CHECK(talmex_poll(client, &state) == TALMEX_ERROR_NOT_CONNECTED);
    state.size = sizeof state + 8; /* a host built against another version */
    CHECK(talmex_poll(client, &state) == TALMEX_ERROR_STRUCT_SIZE);
    CHECK(talmex_set_yaw_correction(client, 2, 1) == TALMEX_ERROR_INVALID_ARGUMENT);
    CHECK(talmex_last_error(client, text, sizeof text) == TALMEX_OK);
    CHECK(talmex_destroy(client) == TALMEX_OK);
    CHECK(talmex_destroy(client) == TALMEX_ERROR_INVALID_HANDLE);
    CHECK(talmex_feed_latency_tester(client) == TALMEX_ERROR_INVALID_HANDLE);
    CHECK(strcmp(talmex_error_text(TALMEX_ERROR_INVALID_HANDLE),
                 "null, destroyed or unknown handle") == 0);
    CHECK(strcmp(talmex_error_text(42), "unknown error") == 0);
    CHECK(strcmp(talmex_status_text(-1), "unknown") == 0);
}

/* A failure is forgotten once a later attach succeeds. */
static void check_last_error_is_current(void)
{
    talmex_client* client = NULL;
    char text[256];
    CHECK(talmex_create(&client) == TALMEX_OK);
    CHECK(talmex_spawn(client, "/nonexistent/talmex-agent") == TALMEX_ERROR_NOT_STARTED);
    CHECK(talmex_last_error(client, text, sizeof text) == TALMEX_OK && text[0] != '\0');
    CHECK(talmex_attach(client, "127.0.0.1", 9) == TALMEX_OK);
    CHECK(talmex_last_error(client, text, sizeof text) == TALMEX_OK && strcmp(text, "") == 0);
    CHECK(talmex_destroy(client) == TALMEX_OK);
}

struct waiter {
    talmex_client* client;
    talmex_error result;
};

static void* wait_long(void* argument)
{
    struct waiter* waiter = argument;
    talmex_state state;
    state.size = sizeof state;
    waiter->result = talmex_wait(waiter->client, &state, 5000);
    return NULL;
}

/* Destroyed while another thread waits on it, the handle wakes the waiter. */
static void check_destroy_while_waiting(void)
{
    struct waiter waiter;
    pthread_t thread;
    const struct timespec pause = {0, 50000000};
    CHECK(talmex_create(&waiter.client) == TALMEX_OK);
    CHECK(talmex_attach(waiter.client, "127.0.0.1", 9) == TALMEX_OK); /* nothing answers there */
    CHECK(pthread_create(&thread, NULL, wait_long, &waiter) == 0);
    nanosleep(&pause, NULL);
    CHECK(talmex_destroy(waiter.client) == TALMEX_OK);
    pthread_join(thread, NULL);
    CHECK(waiter.result == TALMEX_ERROR_INVALID_HANDLE);
}

static int read_file(const char* path, char* text, size_t size)
{
    FILE* file = fopen(path, "r");
    size_t length;
    if (file == NULL) {
        return 0;
    }
    length = fread(text, 1, size - 1, file);
    text[length] = '\0';
    fclose(file);
    return 1;
}

int main(int argc, char** argv)
{
    static const char expected[] = "OVR_Initialize()\n"
                                   "OVR_ResetSensorOrientation(0)\n"
                                   "OVR_SetSensorPredictionTime(1, 0.05)\n"
                                   "OVR_EnableYawCorrection(0, 0)\n"
                                   "OVR_EnableMagYawCorrection(1, 1)\n"
                                   "OVR_ProcessLatencyInputs()\n"
                                   "OVR_Destroy()\n";
    talmex_client* client = NULL;
    talmex_state state;
    talmex_counters counters;
    char log[4096];
    uint64_t lines = 0;
    int states = 0;
    double start;

    if (argc != 3) {
        fprintf(stderr, "usage: %s AGENT COMMAND-LOG\n", argv[0]);
        return 2;
    }
    check_bad_handles();
    check_last_error_is_current();
    check_destroy_while_waiting();
    signal(SIGPIPE, SIG_DFL); /* as a host has it, whatever started this test */
    {
        FILE* emptied = fopen(argv[2], "w"); /* the plug-in appends: start from nothing */
        CHECK(emptied != NULL);
        if (emptied != NULL) {
            fclose(emptied);
        }
    }

    CHECK(talmex_create(&client) == TALMEX_OK);
    CHECK(talmex_spawn_headset(client, argv[1], "../scripted") == TALMEX_ERROR_NOT_STARTED);
    CHECK(talmex_last_error(client, log, sizeof log) == TALMEX_OK &&
          strstr(log, "the headsets are: simulated, ") != NULL);
    CHECK(talmex_spawn_headset(client, argv[1], "scripted") == TALMEX_OK);
    CHECK(signal(SIGPIPE, SIG_DFL) == SIG_DFL); /* the host's own, untouched */
    state.size = sizeof state;
    for (start = now_seconds(); states < 50 && now_seconds() - start < 5;) {
        if (talmex_wait(client, &state, 100) == TALMEX_OK) {
            ++states;
        }
    }
    CHECK(states == 50);
    CHECK(state.sensor_record_count == 2);

    CHECK(talmex_reset_orientation(client, 0) == TALMEX_OK);
    CHECK(talmex_set_prediction_time(client, 1, 0.05f) == TALMEX_OK);
    CHECK(talmex_set_yaw_correction(client, 0, 0) == TALMEX_OK);
    CHECK(talmex_set_mag_yaw_correction(client, 1, 1) == TALMEX_OK);
    CHECK(talmex_feed_latency_tester(client) == TALMEX_OK);
    /* Several keep-alives pass, which must repeat nothing. */
    for (start = now_seconds(); now_seconds() - start < 0.4;) {
        talmex_wait(client, &state, 20);
    }
    counters.size = sizeof counters;
    CHECK(talmex_get_counters(client, &counters) == TALMEX_OK);
    CHECK(counters.status == TALMEX_STATUS_SERVING);
    CHECK(counters.reports_received >= 50 && counters.reports_rejected == 0);
    CHECK(counters.requests_accepted >= 5);
    CHECK(talmex_stop(client) == TALMEX_OK);
    CHECK(talmex_agent_output(client, &lines, log, sizeof log) == TALMEX_OK && lines == 2 &&
          strcmp(log, "C: loaded\nC: OVR_Initialize\n") == 0);
    CHECK(talmex_agent_output(client, &lines, log, 19) == TALMEX_OK &&
          strcmp(log, "C: OVR_Initialize\n") == 0);
    CHECK(talmex_agent_output(client, NULL, log, sizeof log) == TALMEX_ERROR_INVALID_ARGUMENT);
    CHECK(talmex_destroy(client) == TALMEX_OK);

    CHECK(read_file(argv[2], log, sizeof log));
    if (strcmp(log, expected) != 0) {
        fprintf(stderr, "the plug-in saw:\n%s", log);
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
