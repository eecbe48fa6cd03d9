/* Public C interface of the player's audio streaming library (HTTP/ICY MPEG streams). */
#ifndef TIVOLNA_AUDIO_BASS_H
#define TIVOLNA_AUDIO_BASS_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
typedef uint32_t DWORD;
typedef int BOOL;
typedef void *HWND;
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
typedef DWORD HCHANNEL;

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

/* Channel attributes */
#define BASS_ATTRIB_VOL           2

#ifdef __cplusplus
extern "C" {
#endif

typedef void(CALLBACK DOWNLOADPROC)(const void *buffer, DWORD length, void *user);
typedef void(CALLBACK SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void *user);

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void *clsid);
BOOL BASS_Free(void);
DWORD BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_SetConfigPtr(DWORD option, const void *value);
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                             void *user);
BOOL BASS_StreamFree(HSTREAM handle);
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);
const char *BASS_ChannelGetTags(DWORD handle, DWORD tags);
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelStop(DWORD handle);
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);

#ifdef __cplusplus
}
#endif

#endif
