// The UnRAR sources spell this header as the Windows SDK does; mingw-w64 ships it in lower case.
#include <powrprof.h>
