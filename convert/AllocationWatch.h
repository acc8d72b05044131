#pragma once

namespace vidlume::convert {

/// True once a memory allocation of this process was refused: the converter
/// ran into its memory limit.
bool allocationFailed();

} // namespace vidlume::convert
