#pragma once
// Large buffers, such as a site map page of a hundred megabytes, are faulted
// in page by page as they fill. Where the system makes huge pages only on
// request, asking for them cuts that work by hundreds of times.
#include <cstddef>

namespace tessaly {

// Advises the system that the memory of a buffer that was just reserved (and
// not yet written) may be backed by huge pages. Only affects the whole huge
// pages inside it; does nothing where the system has no such advice.
void AdviseLargeBuffer(const void* data, std::size_t size);

} // namespace tessaly
