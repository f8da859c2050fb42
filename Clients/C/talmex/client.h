/* The C interface to the Talmex client: start or attach to the headset
 * agent, send it the host's wishes, and read its reports. Compiles as C99
 * and as C++.
 *
 * Every function returns a talmex_error; TALMEX_OK is 0. No function throws,
 * keeps a pointer the caller passed, or hands out memory the caller must
 * free. A null, destroyed or unknown handle gives TALMEX_ERROR_INVALID_HANDLE.
 * Every structure starts with its size: set it to sizeof the structure
 * before the call; a size the library does not know is refused with
 * TALMEX_ERROR_STRUCT_SIZE. Calls on one handle from several threads take
 * turns; talmex_destroy from another thread ends a talmex_wait on the same
 * handle within about 20 ms, which then gives TALMEX_ERROR_INVALID_HANDLE.
 * The library leaves the host's signal dispositions alone. */
#ifndef TALMEX_CLIENT_H
#define TALMEX_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALMEX_API __attribute__((visibility("default")))
#else
#define TALMEX_API
#endif

typedef struct talmex_client talmex_client;

typedef enum talmex_error {
    TALMEX_OK = 0,
    TALMEX_NO_REPORT = 1,             /* no new report yet: not a failure */
    TALMEX_ERROR_INVALID_HANDLE = -1, /* null, destroyed or unknown handle */
    TALMEX_ERROR_INVALID_ARGUMENT = -2,
    TALMEX_ERROR_STRUCT_SIZE = -3,   /* the structure's size field is not this version's */
    TALMEX_ERROR_NOT_STARTED = -4,   /* the agent could not be started or bound no port */
    TALMEX_ERROR_NOT_CONNECTED = -5, /* neither spawned nor attached */
    TALMEX_ERROR_AGENT_EXITED = -6,  /* the agent this handle started has ended */
    TALMEX_ERROR_NOT_ANSWERING = -7, /* no report for longer than the answer time */
    TALMEX_ERROR_OUT_OF_MEMORY = -8,
    TALMEX_ERROR_INTERNAL = -9
} talmex_error;

typedef enum talmex_status {
    TALMEX_STATUS_IDLE = 0,
    TALMEX_STATUS_CONNECTING = 1,
    TALMEX_STATUS_SERVING = 2,
    TALMEX_STATUS_NOT_ANSWERING = 3,
    TALMEX_STATUS_AGENT_EXITED = 4,
    TALMEX_STATUS_FAILED = 5
} talmex_status;

#define TALMEX_SENSORS 2

/* Flags are 0 or 1. Units as docs/protocol.md states (metres, seconds, m/s²,
 * rad/s, gauss); orientations are unit quaternions w, x, y, z. */
typedef struct talmex_display {
    uint8_t message[3];
    uint8_t hmd_present;
    uint8_t portrait_mode;
    uint8_t resolution_valid;
    uint8_t screen_size_valid;
    uint8_t eye_to_screen_distance_valid;
    uint8_t interpupillary_distance_valid;
    uint8_t lens_separation_distance_valid;
    uint8_t player_eye_height_valid;
    uint8_t eye_offset_valid;
    uint8_t screen_v_center_valid;
    uint8_t distortion_coefficients_valid;
    uint8_t latency_color_valid;
    uint8_t latency_color[3];
    uint16_t resolution[2];
    float screen_size[2];
    float eye_to_screen_distance;
    float interpupillary_distance;
    float lens_separation_distance;
    float player_eye_height;
    float eye_offset[2];
    float screen_v_center;
    float distortion_coefficients[4];
} talmex_display;

typedef struct talmex_sensor {
    uint8_t present;
    uint8_t mag_calibrated;
    uint8_t yaw_correction_enabled;
    uint8_t orientation_valid;
    uint8_t predicted_orientation_valid;
    uint8_t prediction_time_valid;
    uint8_t acceleration_valid;
    uint8_t angular_velocity_or_magnetometer_valid;
    float orientation[4];
    float predicted_orientation[4];
    float prediction_time;
    float acceleration[3];
    float angular_velocity[3];
    float magnetometer[3];
    /* Degrees: yaw about y (positive turns left), then pitch about x
     * (positive looks up), then roll about z (positive tilts left). */
    double yaw_pitch_roll[3];
} talmex_sensor;

typedef struct talmex_state {
    uint32_t size; /* sizeof(talmex_state) */
    uint32_t session_token;
    uint32_t client_token;
    uint32_t sequence;
    uint32_t last_request_sequence;
    uint8_t sensor_count;
    uint8_t sensor_record_count;
    talmex_display display;
    talmex_sensor sensors[TALMEX_SENSORS];
} talmex_state;

typedef struct talmex_counters {
    uint32_t size;  /* sizeof(talmex_counters) */
    int32_t status; /* a talmex_status */
    uint16_t port;  /* the agent's port, 0 when not connected */
    uint64_t reports_received;
    uint64_t reports_lost;     /* gaps in the report sequence */
    uint64_t reports_rejected; /* datagrams that failed a check */
    uint64_t requests_sent;
    uint64_t requests_accepted;
    uint64_t sessions;
    double report_rate;           /* reports per second over the last second */
    int64_t newest_report_age_ms; /* -1 before the first report */
} talmex_counters;

/* Creation and destruction. */
TALMEX_API talmex_error talmex_create(talmex_client** client);
TALMEX_API talmex_error talmex_destroy(talmex_client* client); /* stops an agent it started */

/* Starts the agent and waits at most a second for its port; or attaches to
 * a running agent. agent_path NULL: the agent installed with this library,
 * else talmex-agent in an absolute folder of the PATH. The agent is started
 * in its own folder, where it finds the simulated headset, never in the
 * host's working directory. */
TALMEX_API talmex_error talmex_spawn(talmex_client* client, const char* agent_path);
/* As talmex_spawn, with the agent started in the folder of the named headset,
 * <agent's folder>/headsets/NAME (headset NULL or "simulated": the agent's
 * own folder). A name that is not one plain folder name, or names no folder,
 * gives TALMEX_ERROR_NOT_STARTED, and talmex_last_error lists the headsets. */
TALMEX_API talmex_error talmex_spawn_headset(talmex_client* client, const char* agent_path,
                                             const char* headset);
TALMEX_API talmex_error talmex_attach(talmex_client* client, const char* host, uint16_t port);
TALMEX_API talmex_error talmex_stop(talmex_client* client);

/* Requests: sent at once and re-sent until a report confirms them. */
TALMEX_API talmex_error talmex_reset_orientation(talmex_client* client, int sensor);
TALMEX_API talmex_error talmex_set_prediction_time(talmex_client* client, int sensor,
                                                   float seconds);
TALMEX_API talmex_error talmex_set_yaw_correction(talmex_client* client, int sensor, int enable);
TALMEX_API talmex_error talmex_set_mag_yaw_correction(talmex_client* client, int sensor,
                                                      int enable);
TALMEX_API talmex_error talmex_feed_latency_tester(talmex_client* client);

/* TALMEX_OK with a new state, TALMEX_NO_REPORT when none came, or what
 * stops reports from coming. talmex_poll never blocks; talmex_wait waits at
 * most timeout_ms. */
TALMEX_API talmex_error talmex_poll(talmex_client* client, talmex_state* state);
TALMEX_API talmex_error talmex_wait(talmex_client* client, talmex_state* state, int timeout_ms);

TALMEX_API talmex_error talmex_get_counters(talmex_client* client, talmex_counters* counters);
/* The last failure since the last successful spawn or attach, in words
 * (empty when none), cut to fit and always terminated. */
TALMEX_API talmex_error talmex_last_error(talmex_client* client, char* text, size_t size);
/* What the agent this handle started has printed, its plug-in mostly: the
 * number of lines so far, and the last few lines, oldest first, each ended by
 * a newline, control characters made '?'; the oldest are left out to fit,
 * and the text is always terminated. Kept after the agent has ended, until
 * the next spawn. */
TALMEX_API talmex_error talmex_agent_output(talmex_client* client, uint64_t* line_count, char* text,
                                            size_t size);

/* A talmex_error or a talmex_status in words; any other value is unknown. */
TALMEX_API const char* talmex_error_text(int error);
TALMEX_API const char* talmex_status_text(int status);

#ifdef __cplusplus
}
#endif

#endif
