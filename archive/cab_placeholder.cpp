// Stands in for the CAB back-end until it lands: no file is a cabinet. The CAB back-end replaces
// this file with its own definitions in archive/cab.
#include "archive/backends.h"

namespace zel::arcopen {

bool IsCabArchive(const char*) { return false; }
CQVArchive* NewCabReader() { return nullptr; }

}  // namespace zel::arcopen
