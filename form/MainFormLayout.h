#pragma once

#include "form/Control.h"

#include <optional>
#include <span>

namespace vidlume::form {

class MainForm;

/// The main window's client area in pixels at 96 dots per inch; it cannot be resized.
inline constexpr int clientWidth = 481;
inline constexpr int clientHeight = 421;

/// What a piece of the main window is. Each toolkit makes its own widget of each kind.
enum class PieceKind
{
    GroupBox,    ///< a frame with a caption around other pieces
    Label,       ///< static text; with width 0 as wide as its caption
    Field,       ///< a single-line text field
    ComboBox,    ///< a text field with a drop-down list
    PushButton,
    CheckBox,
    RadioButton, ///< the radio buttons of one group box are one group
    TrackBar,    ///< horizontal, with tick marks below
};

/// A rectangle in pixels at 96 dots per inch, inside its parent's area.
struct Place
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// The steps that a control's click (button, box) or change (track bar) starts.
using Handler = void (*)(MainForm&);

/// The range and steps of a track bar.
struct TrackRange
{
    int minimum = 0;
    int maximum = 100;
    int tickEvery = 10; // tick marks below the bar
    int lineStep = 1;   // arrow keys
    int pageStep = 2;   // page keys
};

/// One piece of the main window as it starts: what it is, where, with what
/// caption and state, and what it starts.
struct Piece
{
    PieceKind kind;
    /// The component name: the handlers' and the tests' name for it.
    const char* name;
    /// The form's name for it, where its rules read or change it.
    std::optional<Control> control = std::nullopt;
    /// The group box it lies in; none for the client area.
    const char* parent = nullptr;
    Place place;
    const char* caption = "";
    /// A label: the piece it names, on screen and for screen readers.
    const char* names = nullptr;
    bool enabled = true;
    /// A field that takes no typing: only dialogs or the form's rules fill it.
    /// It stays selectable, so that its text can be copied.
    bool readOnly = false;
    bool checked = false;
    /// What its click or change starts.
    Handler handler = nullptr;
    /// A field's filter of typed characters: gives back the character, or 0 to drop it.
    char32_t (*keyFilter)(char32_t) = nullptr;
    /// A tooltip.
    const char* hint = nullptr;
    /// A combo box's list, the first entry selected.
    std::span<const char* const> items = {};
    /// A track bar's range, starting at its minimum.
    TrackRange range = {};
};

/// One command of the menu bar.
struct MenuCommand
{
    const char* name;
    const char* caption; ///< "&" before the access key
    Handler handler;
    /// Its keyboard shortcut in the portable form "Ctrl+M"; none when empty.
    const char* shortcut = nullptr;
};

/// Every piece of the main window, in the Tab order, each label just before the
/// piece it names and each group box before what lies in it.
std::span<const Piece> mainFormLayout();

/// The menu bar's commands, left to right.
std::span<const MenuCommand> mainMenu();

/// The piece of this component name; throws std::out_of_range for an unknown one.
const Piece& pieceNamed(const char* name);

/// A piece's place in the client area: its place moved by each group box it lies in.
Place placeInClientArea(const Piece& piece);

/// Whether a field is drawn in the colour of fields that take no typing: those
/// that show paths, which only dialogs fill, and the logo fields, which start
/// switched off.
constexpr bool hasFieldColour(Control control)
{
    return holdsLocalPath(control) || control == Control::edt_logolink || control == Control::edt_logowidth;
}

} // namespace vidlume::form
