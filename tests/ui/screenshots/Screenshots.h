#pragma once

#include "platform/Clock.h"
#include "platform/LoginItem.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/VirtualMainQueue.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"

#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

// Pictures of the windows for people to look at: `scripts/screenshots` renders
// every registered shot offscreen to "<name>.png". Each window's file registers
// its own shots, so adding a window touches no shared list; shots of one window
// share a builder that returns the Render:
//
//   const Shot editorKeypad("layout-editor-keypad", editor(&Device::tartarusTemplate, "K06"));
namespace velmor::screenshots {

// What one shot is made in: virtual time, in-memory settings, manual serial
// queues and a temporary data folder, all gone after the shot. Objects the
// widget needs (models, executors, scripted backends) are kept here.
class Scene {
public:
    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    VirtualMainQueue& queue() { return *queue_; }
    QString dataFolder() const { return dataFolder_.path(); }

    // Builds an object that lives as long as the scene.
    template <typename T, typename... Args>
    T& make(Args&&... args)
    {
        auto object = std::make_shared<T>(std::forward<Args>(args)...);
        T& reference = *object;
        kept_.push_back(std::move(object));
        return reference;
    }

    // Runs the work that is due on the main queue and Qt's pending events, until both are idle.
    void settle();

    // `content` on the windows' background, `margin` around it: for pieces that
    // are not windows themselves.
    static std::unique_ptr<QWidget> onBackdrop(QWidget* content, int margin = 24);

private:
    QTemporaryDir dataFolder_;
    ScopedVirtualMainQueue queue_;
    ScopedManualClock clock_;
    ScopedInMemorySettings settings_;
    ScopedManualSerialQueues serialQueues_;
    std::vector<std::shared_ptr<void>> kept_;
};

// Scripted hardware, key output, permissions and login item, installed as the
// process-wide defaults for as long as it lives: what the application model runs on.
struct ScriptedPlatform {
    explicit ScriptedPlatform(bool accessibility = true, bool inputMonitoring = true);
    ~ScriptedPlatform();
    ScriptedPlatform(const ScriptedPlatform&) = delete;
    ScriptedPlatform& operator=(const ScriptedPlatform&) = delete;

    hid::ScriptedHid hid;
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    InMemoryLoginItem loginItem;
};

// Makes the widget to photograph. A widget that the render did not resize is
// shown at its size hint.
using Render = std::function<std::unique_ptr<QWidget>(Scene&)>;

// Registers one shot, saved as "<name>.png"; name it "<window>-<state>".
class Shot {
public:
    Shot(QString name, Render render);
};

struct Registered {
    QString name;
    Render render;
};
// Every shot registered, sorted by name.
std::vector<Registered> registeredShots();

} // namespace velmor::screenshots
