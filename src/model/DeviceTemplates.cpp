// The three devices the program knows. Their ids are an interface: stored and
// default mappings, the HID usage tables and the bundle's layout files all use them.
#include "model/Device.h"

#include <QSet>

namespace velmor {

namespace {
DeviceButton makeButton(const char* id, const QString& label, DeviceButtonKind kind,
                        std::optional<NormalizedRect> frame, QStringList aliases)
{
    return DeviceButton{QString::fromLatin1(id), label, kind, frame, std::move(aliases)};
}

Device buildTartarus()
{
    Device device{QStringLiteral("tartarus_v2"), QStringLiteral("Razer Tartarus V2 / Pro"), QStringLiteral("keypad"),
                  std::nullopt, {}};
    // Keys 1 to 20, row by row from the top. The row step is one unit in the
    // last place below 0.165 so that the stored edges stay exactly as shipped
    // (0.21499999999999997, not 0.215).
    constexpr double rowStep = 0.16499999999999998;
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 4; ++column) {
            const int n = row * 4 + column + 1;
            const QString number = QString::number(n);
            const NormalizedRect frame{column * 0.22 + 0.06, row * rowStep + 0.05, 0.2, 0.15};
            device.buttons.append(DeviceButton{QStringLiteral("K%1").arg(n, 2, 10, QChar('0')),
                                               QStringLiteral("%1").arg(n, 2, 10, QChar('0')), DeviceButtonKind::key,
                                               frame, {"K" + number, number, "Key" + number}});
        }
    }
    using K = DeviceButtonKind;
    device.buttons += {
        makeButton("DPAD_UP", QStringLiteral("\u2191"), K::dpad, NormalizedRect{0.74, 0.5, 0.12, 0.12},
                   {"DPadUp", "Up"}),
        makeButton("DPAD_DOWN", QStringLiteral("\u2193"), K::dpad, NormalizedRect{0.74, 0.74, 0.12, 0.12},
                   {"DPadDown", "Down"}),
        makeButton("DPAD_LEFT", QStringLiteral("\u2190"), K::dpad, NormalizedRect{0.62, 0.62, 0.12, 0.12},
                   {"DPadLeft", "Left"}),
        makeButton("DPAD_RIGHT", QStringLiteral("\u2192"), K::dpad, NormalizedRect{0.86, 0.62, 0.12, 0.12},
                   {"DPadRight", "Right"}),
        makeButton("THUMB_KEY", QStringLiteral("Thumb"), K::button, NormalizedRect{0.62, 0.78, 0.2, 0.12},
                   {"Space", "ThumbKey"}),
        makeButton("WHEEL_UP", QStringLiteral("Wheel \u2191"), K::wheel, NormalizedRect{0.82, 0.4, 0.12, 0.08},
                   {"WheelUp"}),
        makeButton("WHEEL_DOWN", QStringLiteral("Wheel \u2193"), K::wheel, NormalizedRect{0.82, 0.5, 0.12, 0.08},
                   {"WheelDown"}),
        makeButton("WHEEL_PRESS", QStringLiteral("Wheel \u29BF"), K::wheel, NormalizedRect{0.82, 0.6, 0.12, 0.08},
                   {"WheelPress", "WheelClick"}),
    };
    return device;
}

Device buildMouse()
{
    using K = DeviceButtonKind;
    return Device{QStringLiteral("mouse_5_button"), QStringLiteral("Generic Mouse"), QStringLiteral("mouse"),
                  std::nullopt,
                  {
                      makeButton("LEFT_CLICK", QStringLiteral("Left"), K::button, std::nullopt, {"Left", "Button1"}),
                      makeButton("RIGHT_CLICK", QStringLiteral("Right"), K::button, std::nullopt, {"Right", "Button2"}),
                      makeButton("MIDDLE_CLICK", QStringLiteral("Middle"), K::button, std::nullopt,
                                 {"Middle", "Button3", "WheelPress"}),
                      makeButton("BUTTON_4", QStringLiteral("Side 1"), K::button, std::nullopt, {"Button4", "SideBack"}),
                      makeButton("BUTTON_5", QStringLiteral("Side 2"), K::button, std::nullopt,
                                 {"Button5", "SideForward"}),
                      makeButton("SCROLL_UP", QStringLiteral("Scroll \u2191"), K::wheel, std::nullopt, {"WheelUp"}),
                      makeButton("SCROLL_DOWN", QStringLiteral("Scroll \u2193"), K::wheel, std::nullopt,
                                 {"WheelDown"}),
                  }};
}

Device buildSpeechMike()
{
    const auto push = [](const char* id, const char* label, NormalizedRect frame, QStringList aliases) {
        return makeButton(id, QString::fromLatin1(label), DeviceButtonKind::button, frame, std::move(aliases));
    };
    return Device{QStringLiteral("speechmike_smp3700"), QStringLiteral("Philips SpeechMike"),
                  QStringLiteral("dictation"), std::nullopt,
                  {
                      push("REC", "Rec", {0.3045, 0.1401, 0.3904, 0.1809}, {"Record"}),
                      push("PLAY_PAUSE", "Play/Pause", {0.3045, 0.3326, 0.3904, 0.19}, {"Play", "Pause"}),
                      push("FWD", "Fwd", {0.7324, 0.145, 0.2671, 0.3757}, {"Forward"}),
                      push("REW", "Rew", {0.0, 0.1448, 0.2671, 0.3757}, {"Rewind"}),
                      push("EOL", "EoL", {0.0, 0.0044, 0.2671, 0.1346}, {"EndOfLetter"}),
                      push("INFO", "Info", {0.3045, 0.0, 0.3904, 0.1099}, {"Information"}),
                      push("INS_OVR", "Ins/Ovr", {0.7324, 0.0046, 0.2671, 0.1346}, {"Insert", "Overwrite"}),
                      push("F1", "F1", {0.0, 0.8174, 0.3344, 0.0878}, {}),
                      push("F2", "F2", {0.0, 0.9098, 0.3344, 0.088}, {}),
                      push("F3", "F3", {0.6656, 0.8195, 0.3344, 0.088}, {}),
                      push("F4", "F4", {0.6656, 0.912, 0.3344, 0.088}, {}),
                      push("TOP_TRIGGER", "Top Trigger", {0.52, 0.2, 0.1, 0.1}, {"TriggerTop"}),
                      push("BOTTOM_TRIGGER", "Bottom Trigger", {0.52, 0.32, 0.1, 0.1}, {"TriggerBottom"}),
                  }};
}
} // namespace

// Function-local statics: built once, on first use, safely from any thread.
const Device& Device::tartarusTemplate()
{
    static const Device device = buildTartarus();
    return device;
}

const Device& Device::mouseTemplate()
{
    static const Device device = buildMouse();
    return device;
}

const Device& Device::speechMikeTemplate()
{
    static const Device device = buildSpeechMike();
    return device;
}

QList<Device> Device::allTemplates() { return {tartarusTemplate(), mouseTemplate(), speechMikeTemplate()}; }

QList<Device> Device::builtInTemplates()
{
    // The generic mouse is known to the input sources but not offered for choosing.
    const QSet<QString> hidden{mouseTemplate().id};
    QList<Device> offered = allTemplates();
    offered.removeIf([&](const Device& device) { return hidden.contains(device.id); });
    return offered;
}

} // namespace velmor
