#include "platform/widgets/volume_service.h"

#include <atomic>

namespace tessaro {
namespace {

class MachineVolumes final : public VolumeService {
public:
    std::vector<os::Path> roots() const override { return os::volumes(); }
    os::Path systemRoot() const override { return os::systemVolume(); }
    os::Path rootOf(const os::Path& path) const override { return os::volumeOf(path); }
    VolumeCheck check(const os::Path& root) const override
    {
        VolumeCheck result;
        result.ready = os::volumeReady(root);
        if (result.ready)
            result.label = os::volumeLabel(root);
        return result;
    }
};

const MachineVolumes machine;
std::atomic<const VolumeService*> replacement{nullptr};

} // namespace

const VolumeService& volumeService()
{
    const VolumeService* volumes = replacement.load();
    return volumes ? *volumes : machine;
}

const VolumeService* replaceVolumeService(const VolumeService* volumes)
{
    return replacement.exchange(volumes);
}

} // namespace tessaro
