#include "platform/Errors.h"

namespace quarvel {

std::string ConsoleMessage(std::string_view message) {
    std::string out;
    out.reserve(message.size());
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] != '\r') {
            out.push_back(message[i]);
        } else if (i + 1 >= message.size() || message[i + 1] != '\n') {
            out.push_back('\n');
        }
    }
    return out;
}

}  // namespace quarvel
