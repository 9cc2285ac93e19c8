#include "archive/backends.h"
namespace zel::arcopen {
CQVArchive* NewRarReader() { return nullptr; }
}  // namespace zel::arcopen
