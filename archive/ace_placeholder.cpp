// Stands in for the ACE back-end until it lands: ".ace" files get no reader. The ACE back-end
// replaces this file with its own definition in archive/ace.
#include "archive/backends.h"

namespace zel::arcopen {

CQVArchive* NewAceReader() { return nullptr; }

}  // namespace zel::arcopen
