// What each back-end offers the factory: a probe for the formats recognised by their contents
// and a maker of a new, unopened reader. One definition per back-end, in that back-end's folder
// (archive/zip, archive/cab, archive/arj, archive/rar, archive/ace). Makers return null when
// allocation fails; probes and makers never throw.
#pragma once

#include "archive/qv_archive.h"

namespace zel::arcopen {

bool IsZipArchive(const char* path);
CQVArchive* NewZipReader();

bool IsCabArchive(const char* path);
CQVArchive* NewCabReader();

bool IsArjArchive(const char* path);
CQVArchive* NewArjReader();

CQVArchive* NewRarReader();

CQVArchive* NewAceReader();

}  // namespace zel::arcopen
