#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The data files are fixed-size images of memory blocks, checked by their size at start-up and
// otherwise updated in place.

// Fills the block from the file at `path`. A file of another size is created anew zero-filled and
// the returned text says so ("File <path> size (<actual>-><expected>) error, new file created.");
// a missing file is created without a message; an existing file that cannot be opened leaves the
// block zeroed and the file untouched. The block is zeroed first in every case.
std::string Load_Image_File(const std::string& path, void* block, std::size_t size);

// Writes `length` bytes at `offset` of an existing file; never creates it. False on any failure.
bool Write_Image_Range(const std::string& path, std::int64_t offset, const void* data, std::size_t length);
