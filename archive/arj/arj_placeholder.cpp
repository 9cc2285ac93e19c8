#include "archive/backends.h"
namespace zel::arcopen {
bool IsArjArchive(const char*) { return false; }
CQVArchive* NewArjReader() { return nullptr; }
}  // namespace zel::arcopen
