#include "imaging/file_io.h"

namespace qv {

std::string TrimSystemMessage(std::string message) {
  while (!message.empty()) {
    unsigned char c = static_cast<unsigned char>(message.back());
    if (c > ' ' && c != '.' && c != 0x7F) break;
    message.pop_back();
  }
  return message;
}

std::string FileErrorText(const char* format, const std::string& fullPath,
                          const std::string& systemMessage) {
  // The two formats hold exactly two "%s"; fill them in order.
  std::string out;
  const std::string args[] = {fullPath, TrimSystemMessage(systemMessage)};
  int next = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's' && next < 2) {
      out += args[next++];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace qv
