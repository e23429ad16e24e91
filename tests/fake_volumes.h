#pragma once

// Volumes of a test's own in the place of the machine's, so that no test depends on (or
// waits for) the mounts of the machine it runs on; one of them can stop answering.

#include "platform/widgets/folder_reading.h"
#include "platform/widgets/volume_service.h"

#include <QThreadPool>

#include <condition_variable>
#include <mutex>

namespace tessaro::test {

class FakeVolumes final : public VolumeService {
public:
    // `volumes`: the roots, the system's first; a root given as `dead` does not answer
    // until answer() is called, or for ten seconds: long past the lists' time limit, and
    // short of hanging the suite should a list wait for it on the window's thread.
    explicit FakeVolumes(std::vector<os::Path> volumes = {os::systemVolume()}, os::Path dead = {})
        : m_volumes(std::move(volumes))
        , m_dead(std::move(dead))
        , m_replaced(replaceVolumeService(this))
    {
    }
    ~FakeVolumes() override
    {
        replaceVolumeService(m_replaced);
        answer();
        // A worker may yet be on its way into check(), or out of it. Not forever: one held by
        // a real volume that stopped answering does not come here.
        folderReaderPool()->waitForDone(20000);
    }
    FakeVolumes(const FakeVolumes&) = delete;
    FakeVolumes& operator=(const FakeVolumes&) = delete;

    void answer()
    {
        const std::lock_guard lock(m_mutex);
        m_answering = true;
        m_answered.notify_all();
    }

    std::vector<os::Path> roots() const override { return m_volumes; }
    os::Path systemRoot() const override { return m_volumes.front(); }
    os::Path rootOf(const os::Path& path) const override
    {
        os::Path best = m_volumes.front();
        for (const os::Path& root : m_volumes) {
            const os::Path relative = path.lexically_relative(root);
            if (!relative.empty() && *relative.begin() != ".." && root.native().size() > best.native().size())
                best = root;
        }
        return best;
    }
    VolumeCheck check(const os::Path& root) const override
    {
        std::unique_lock lock(m_mutex);
        m_answered.wait_for(lock, std::chrono::seconds(10), [&] { return root != m_dead || m_answering; });
        return {true, root == m_volumes.front() ? std::u16string() : u"FAKE"};
    }

private:
    std::vector<os::Path> m_volumes;
    os::Path m_dead;
    const VolumeService* m_replaced;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_answered;
    bool m_answering = false;
};

} // namespace tessaro::test
