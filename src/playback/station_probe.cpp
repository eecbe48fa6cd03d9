#include "playback/station_probe.h"

#include <cstdio>

#include "audio/bass.h"
#include "net/text.h"

namespace playback {
namespace {

struct Heads {
  std::string name, genre;
};

// Runs on the stream's download thread, inside BASS_StreamCreateURL only.
void CALLBACK KeepHead(const void* buffer, DWORD length, void* user) {
  if (!buffer || length != 0) return;
  auto* heads = static_cast<Heads*>(user);
  heads->name = HeaderValue(static_cast<const char*>(buffer), "icy-name");
  heads->genre = HeaderValue(static_cast<const char*>(buffer), "icy-genre");
}

}  // namespace

std::string HeaderValue(const char* block, const std::string& name) {
  if (!block) return "";
  const std::string wanted = net::AsciiLower(name) + ":";
  for (const char* p = block; *p; p += std::char_traits<char>::length(p) + 1) {
    std::string line(p);
    if (line.size() >= wanted.size() && net::AsciiLower(line.substr(0, wanted.size())) == wanted)
      return net::Trim(line.substr(wanted.size()));
  }
  return "";
}

ProbeResult ProbeStation(const std::string& url) {
  ProbeResult r;
  Heads heads;
  HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_STATUS, KeepHead, &heads);
  if (!s) {
    r.error = BASS_ErrorGetCode();
    return r;
  }
  BASS_StreamFree(s);
  r.ok = true;
  r.icy_name = heads.name;
  r.icy_genre = heads.genre;
  return r;
}

std::string ReasonText(int error) {
  if (error > BASS_ERROR_HTTP && error < BASS_ERROR_HTTP + 1000) {
    int status = error - BASS_ERROR_HTTP;
    char buf[96];
    if (status == 404)
      std::snprintf(buf, sizeof buf, "по адресу ничего нет (ошибка %d)", status);
    else if (status == 401 || status == 403)
      std::snprintf(buf, sizeof buf, "сервер не пускает к потоку (ошибка %d)", status);
    else
      std::snprintf(buf, sizeof buf, "сервер ответил ошибкой %d", status);
    return buf;
  }
  switch (error) {
    case BASS_ERROR_FILEOPEN: return "это не адрес потока";
    case BASS_ERROR_MEM: return "не хватило памяти";
    case BASS_ERROR_INIT: return "звук не запущен";
    case BASS_ERROR_SSL: return "не удалось установить защищённое соединение";
    case BASS_ERROR_NONET: return "сервер не отвечает или отказал в соединении";
    case BASS_ERROR_TIMEOUT: return "сервер не ответил вовремя";
    case BASS_ERROR_FILEFORM: return "по адресу нет звука в знакомом формате";
    case BASS_ERROR_LOOKUP: return "сервер с таким именем не найден";
    case BASS_ERROR_TOOLARGE: return "ответ сервера слишком велик";
    case BASS_ERROR_REDIRECTS: return "слишком много перенаправлений или вложенных плей-листов";
    case BASS_ERROR_PROTOCOL: return "сервер ответил не по правилам";
    case BASS_ERROR_ABORTED: return "подключение прервано";
    case BASS_ERROR_CERT_ISSUER: return "сертификат сервера выдан неизвестным центром";
    case BASS_ERROR_CERT_EXPIRED: return "сертификат сервера просрочен";
    case BASS_ERROR_CERT_HOST: return "сертификат сервера выдан другому сайту";
    case BASS_ERROR_CERT_INVALID: return "сертификат сервера недействителен";
    default: break;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "неизвестная ошибка (код %d)", error);
  return buf;
}

}  // namespace playback
