#pragma once

#include <cstddef>

namespace vidlume::form {

/// The main window's controls that its rules read or change, named as the
/// window's components are.
enum class Control
{
    edt_videofile,
    btn_videofile,
    cbb_videosize,
    chk_autoplay,
    chk_html5,
    edt_videopath,
    btn_videopathhelp,
    edt_flvplayerpath,
    btn_flvplayerpath,
    chk_thumbnail,
    chk_logo,
    edt_thumbnailimage,
    btn_thumbnailimage,
    edt_logoimage,
    btn_logoimage,
    trc_logoalpha,
    lbl_position,
    rb_topleft,
    rb_topright,
    rb_bottomleft,
    rb_bottomright,
    edt_logolink,
    edt_logowidth,
    btn_start,
    edt_outputdir,
    btn_outputdir,
    btn_open,
};

/// How many controls the form names.
inline constexpr std::size_t controlCount = std::size_t(Control::btn_open) + 1;

/// Whether a control's text is a local path (kept as the file system's bytes)
/// rather than a typed text.
constexpr bool holdsLocalPath(Control control)
{
    return control == Control::edt_videofile || control == Control::edt_thumbnailimage ||
           control == Control::edt_logoimage || control == Control::edt_outputdir;
}

} // namespace vidlume::form
