/* The peer of bench/player: a minimal waveOut player of a 440 Hz tone at 44.1 kHz stereo,
 * 6 buffers of 50 ms refilled on the device's event, as plain as a waveOut program gets.
 * Usage: tone_player [seconds]   (default: until ended) */
#include <windows.h>
#include <mmsystem.h>

#include <math.h>
#include <stdlib.h>

#define RATE 44100
#define BUFFERS 6
#define FRAMES (RATE * 50 / 1000)

static short mem[BUFFERS][FRAMES * 2];
static WAVEHDR hdr[BUFFERS];
static double phase;

static void fill(short* p) {
  const double step = 2.0 * 3.14159265358979323846 * 440.0 / RATE;
  for (int i = 0; i < FRAMES; ++i) {
    short v = (short)(sin(phase) * 8000.0);
    p[2 * i] = p[2 * i + 1] = v;
    phase += step;
    if (phase > 6.283185307179586) phase -= 6.283185307179586;
  }
}

int main(int argc, char** argv) {
  DWORD seconds = argc > 1 ? (DWORD)atoi(argv[1]) : 0;
  HANDLE event = CreateEventW(NULL, FALSE, FALSE, NULL);
  WAVEFORMATEX fmt = {0};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 2;
  fmt.nSamplesPerSec = RATE;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = 4;
  fmt.nAvgBytesPerSec = RATE * 4;
  HWAVEOUT wo;
  if (!event ||
      waveOutOpen(&wo, WAVE_MAPPER, &fmt, (DWORD_PTR)event, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR)
    return 1;
  for (int i = 0; i < BUFFERS; ++i) {
    hdr[i].lpData = (LPSTR)mem[i];
    hdr[i].dwBufferLength = sizeof mem[i];
    waveOutPrepareHeader(wo, &hdr[i], sizeof hdr[i]);
    fill(mem[i]);
    waveOutWrite(wo, &hdr[i], sizeof hdr[i]);
  }
  DWORD start = GetTickCount();
  int next = 0;
  while (seconds == 0 || GetTickCount() - start < seconds * 1000) {
    WaitForSingleObject(event, INFINITE);
    while (hdr[next].dwFlags & WHDR_DONE) {
      hdr[next].dwFlags &= ~WHDR_DONE;
      fill(mem[next]);
      waveOutWrite(wo, &hdr[next], sizeof hdr[next]);
      next = (next + 1) % BUFFERS;
    }
  }
  waveOutReset(wo);
  for (int i = 0; i < BUFFERS; ++i) waveOutUnprepareHeader(wo, &hdr[i], sizeof hdr[i]);
  waveOutClose(wo);
  return 0;
}
