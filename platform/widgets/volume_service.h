#pragma once

// What the drive and folder lists ask about the machine's volumes, behind one small
// interface: the program asks the system, tests hand the lists volumes of their own (and
// volumes that stop answering) so that no test depends on the mounts of the machine.

#include "platform/os/os_services.h"

#include <string>
#include <vector>

namespace tessaro {

// What a volume told about itself when asked.
struct VolumeCheck {
    bool ready = false;    // it can be read: false without a medium or when it went away
    std::u16string label;  // empty when it has none
};

class VolumeService {
public:
    virtual ~VolumeService() = default;

    // From the system's table of volumes alone: these never wait for a volume, so the
    // window's thread may call them.
    virtual std::vector<os::Path> roots() const = 0;
    virtual os::Path systemRoot() const = 0;
    virtual os::Path rootOf(const os::Path& path) const = 0;

    // Asks the volume itself and may wait as long as it takes to answer (forever, for one
    // that stopped answering): only workers call this. Called from any thread.
    virtual VolumeCheck check(const os::Path& root) const = 0;
};

// The volumes the lists see: the machine's, unless a test put others in their place.
const VolumeService& volumeService();

// Puts `volumes` in the place of the machine's (nullptr: the machine's) for the lists made
// from now on, and gives back the one it replaced. For tests.
const VolumeService* replaceVolumeService(const VolumeService* volumes);

} // namespace tessaro
