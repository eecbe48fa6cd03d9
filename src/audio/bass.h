/* Public C interface of the player's audio streaming library (HTTP/ICY MPEG streams). */
#ifndef TIVOLNA_AUDIO_BASS_H
#define TIVOLNA_AUDIO_BASS_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
typedef uint32_t DWORD;
typedef int BOOL;
typedef void* HWND;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif

#ifndef CALLBACK
#ifdef _WIN32
#define CALLBACK __stdcall
#else
#define CALLBACK
#endif
#endif

typedef uint64_t QWORD;
typedef DWORD HSTREAM;
typedef DWORD HSYNC;

// The constant tables keep their columns.
// clang-format off
/* Configuration options */
#define BASS_CONFIG_NET_BUFFER    12 /* download buffer length in ms (default 5000) */
#define BASS_CONFIG_NET_PREBUF    15 /* buffer percentage filled before playback starts (default 75) */
#define BASS_CONFIG_NET_AGENT     16 /* user agent text (pointer option) */
#define BASS_CONFIG_NET_PLAYLIST  21 /* follow playlist addresses: 0 off (default), 1 on */

/* Stream creation flags */
#define BASS_STREAM_STATUS        0x800000 /* hand the response head to the DOWNLOADPROC */

/* File position modes */
#define BASS_FILEPOS_CURRENT      0
#define BASS_FILEPOS_DOWNLOAD     1
#define BASS_FILEPOS_END          2
#define BASS_FILEPOS_CONNECTED    4
#define BASS_FILEPOS_BUFFER       5

/* Tag types */
#define BASS_TAG_META             5

/* Sync types */
#define BASS_SYNC_META            4
#define BASS_SYNC_DOWNLOAD        7 /* the download has ended for good: the connection ended and
                                       reconnecting did not bring it back */

/* Channel attributes */
#define BASS_ATTRIB_VOL           2

/* Error codes (BASS_ErrorGetCode) */
#define BASS_OK                   0
#define BASS_ERROR_MEM            1    /* out of memory */
#define BASS_ERROR_FILEOPEN       2    /* the address is not a usable http:// or https:// address */
#define BASS_ERROR_DRIVER         3    /* no output device */
#define BASS_ERROR_SSL            10   /* no TLS connection could be agreed with the https server */
#define BASS_ERROR_HANDLE         5    /* not a handle of a live stream */
#define BASS_ERROR_INIT           8    /* BASS_Init has not succeeded */
#define BASS_ERROR_ALREADY        14   /* already initialised */
#define BASS_ERROR_ILLTYPE        19   /* option, tag, sync or attribute type not supported */
#define BASS_ERROR_ILLPARAM       20   /* an argument is invalid */
#define BASS_ERROR_NONET          32   /* connection refused, or the host is unreachable */
#define BASS_ERROR_NOTAVAIL       37   /* no such data (yet): e.g. no title has arrived */
#define BASS_ERROR_TIMEOUT        40   /* a time-out, or the opening's overall deadline, passed */
#define BASS_ERROR_FILEFORM       41   /* the response is not MPEG audio (nor a usable playlist) */
#define BASS_ERROR_UNKNOWN        -1   /* anything else */
/* This library's own codes */
#define BASS_ERROR_LOOKUP         1000 /* the host name was not found */
#define BASS_ERROR_TOOLARGE       1001 /* response head, playlist or opening data over the limits */
#define BASS_ERROR_REDIRECTS      1002 /* too many redirects or nested playlists */
#define BASS_ERROR_PROTOCOL       1003 /* malformed response, bad icy-metaint, chunked audio */
#define BASS_ERROR_ABORTED        1004 /* BASS_Free ran while the stream was being created */
#define BASS_ERROR_CERT_ISSUER    1005 /* https: the certificate does not lead to a trusted root */
#define BASS_ERROR_CERT_EXPIRED   1006 /* https: a certificate is outside its validity period */
#define BASS_ERROR_CERT_HOST      1007 /* https: the certificate names another host */
#define BASS_ERROR_CERT_INVALID   1008 /* https: any other fault of the certificate */
#define BASS_ERROR_HTTP           2000 /* plus the status of a response other than 200: 2404 is 404 */
// clang-format on

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Threads and callbacks
 *
 * Each stream has a download thread. It opens the stream (so the DOWNLOADPROC runs on it,
 * during BASS_StreamCreateURL) and then reads the stream; every SYNCPROC of the stream runs
 * on it too. No callback runs on the caller's thread, nor on the output thread, and the
 * library holds no lock while a callback runs. A callback may call any function of this
 * library, BASS_StreamFree of its own stream and BASS_Free included.
 *
 * Waits: BASS_StreamCreateURL waits for the opening, BASS_StreamFree for the stream's
 * thread, BASS_Free for every stream's thread and the output thread. While a program thread
 * waits there, it keeps handling messages that other threads send to it (on Windows the
 * wait wakes for sent messages; elsewhere the pump of audio/wait_pump.h runs every few
 * milliseconds), so a callback blocked in a synchronous send to that thread completes.
 * A free called from a callback of the stream it frees does not wait for that callback.
 * Do not free, from one stream's callback, a stream whose callback frees the first: each
 * would wait for the other.
 *
 * Errors: every function sets the calling thread's error code, read by BASS_ErrorGetCode.
 */

/* Called on the stream's download thread during BASS_StreamCreateURL, with the response
 * head (length 0) when BASS_STREAM_STATUS is given. */
typedef void(CALLBACK DOWNLOADPROC)(const void* buffer, DWORD length, void* user);
/* Called on the stream's download thread when the stream's title text changes. */
typedef void(CALLBACK SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void* user);

/* Starts the output (device is ignored; freq 0 means 44100). */
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid);
/* Frees every stream and stops the output. When it returns, no callback of any stream runs
 * (but the caller's own, when called from one) and none will start. */
BOOL BASS_Free(void);
DWORD BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_SetConfigPtr(DWORD option, const void* value);
/* Opens an http:// stream; 0 on failure, the reason in BASS_ErrorGetCode. The whole opening
 * (name lookups, connects, redirects, playlist entries) ends within 30 s. When it fails, no
 * callback of it runs any more. */
HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                             void* user);
/* When it returns, no callback of the stream runs (but the caller's own, when called from
 * one of the stream's callbacks) and none will start, so their user data may be freed. */
BOOL BASS_StreamFree(HSTREAM handle);
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);
/* The text stays readable after later changes and after the stream is freed, for a while
 * (the last 8 texts of a stream, the last 32 of freed streams). */
const char* BASS_ChannelGetTags(DWORD handle, DWORD tags);
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelStop(DWORD handle);
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
/* The error code of the calling thread's last call of this library (BASS_OK after a
 * success). */
int BASS_ErrorGetCode(void);
/* How often the output failed since BASS_Init; each failure restarts the output. */
DWORD BASS_GetOutputFailures(void);

#ifdef __cplusplus
}
#endif

#endif
