// The text type of the system.
#pragma once

#include <string>

namespace quarvel {

// Unicode text of the model: UTF-16 code units, as the file format counts characters.
using WideString = std::u16string;

}  // namespace quarvel
