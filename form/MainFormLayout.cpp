#include "form/MainFormLayout.h"

#include "form/MainForm.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace vidlume::form {

namespace {

/// A handler that runs one of the form's steps, whatever it gives back.
template <auto step> void run(MainForm& form)
{
    (form.*step)();
}

const char* const videoSizes[] = {"320x240", "512x384", "640x480", "720x540"};

using K = PieceKind;
using C = Control;

// The places are those the window was laid out with; labels are 13 pixels high.
const Piece layout[] = {
    {.kind = K::GroupBox, .name = "GroupBox1", .place = {8, 3, 463, 127}, .caption = "VIdeo File"},
    {.kind = K::Label, .name = "Label1", .parent = "GroupBox1", .place = {33, 19, 0, 13}, .caption = "VIdeo File:",
     .names = "edt_videofile"},
    {.kind = K::Field, .name = "edt_videofile", .control = C::edt_videofile, .parent = "GroupBox1",
     .place = {92, 14, 301, 21}, .readOnly = true},
    {.kind = K::PushButton, .name = "btn_videofile", .control = C::btn_videofile, .parent = "GroupBox1",
     .place = {401, 11, 50, 25}, .caption = "Browse", .handler = run<&MainForm::btn_videofileClick>},
    {.kind = K::Label, .name = "Label9", .parent = "GroupBox1", .place = {36, 99, 0, 13}, .caption = "Vide Size:",
     .names = "cbb_videosize"},
    {.kind = K::ComboBox, .name = "cbb_videosize", .control = C::cbb_videosize, .parent = "GroupBox1",
     .place = {92, 98, 145, 21}, .items = videoSizes},
    {.kind = K::CheckBox, .name = "chk_autoplay", .control = C::chk_autoplay, .parent = "GroupBox1",
     .place = {256, 100, 97, 17}, .caption = "Auto Play Video"},
    {.kind = K::CheckBox, .name = "chk_html5", .control = C::chk_html5, .parent = "GroupBox1",
     .place = {356, 100, 95, 17}, .caption = "HTML5 Player", .checked = html5PlayerAtStart},
    {.kind = K::Label, .name = "Label2", .parent = "GroupBox1", .place = {29, 46, 0, 13}, .caption = "Video path:",
     .names = "edt_videopath"},
    {.kind = K::Field, .name = "edt_videopath", .control = C::edt_videopath, .parent = "GroupBox1",
     .place = {92, 42, 301, 21}},
    {.kind = K::PushButton, .name = "btn_videopathhelp", .control = C::btn_videopathhelp, .parent = "GroupBox1",
     .place = {401, 41, 50, 25}, .caption = "Help", .handler = run<&MainForm::btn_videopathhelpClick>},
    {.kind = K::Label, .name = "Label3", .parent = "GroupBox1", .place = {9, 74, 0, 13},
     .caption = "FLV playe path:", .names = "edt_flvplayerpath"},
    {.kind = K::Field, .name = "edt_flvplayerpath", .control = C::edt_flvplayerpath, .parent = "GroupBox1",
     .place = {92, 70, 303, 21}},
    {.kind = K::PushButton, .name = "btn_flvplayerpath", .control = C::btn_flvplayerpath, .parent = "GroupBox1",
     .place = {401, 72, 50, 25}, .caption = "Help", .handler = run<&MainForm::btn_flvplayerpathClick>},

    {.kind = K::GroupBox, .name = "GroupBox2", .place = {8, 136, 463, 216}, .caption = "Web Player Option"},
    {.kind = K::CheckBox, .name = "chk_thumbnail", .control = C::chk_thumbnail, .parent = "GroupBox2",
     .place = {6, 24, 113, 17}, .caption = "Include Thumbnail:", .handler = run<&MainForm::chk_thumbnailClick>},
    {.kind = K::CheckBox, .name = "chk_logo", .control = C::chk_logo, .parent = "GroupBox2",
     .place = {6, 75, 89, 17}, .caption = "Include Logo:", .handler = run<&MainForm::chk_logoClick>},
    {.kind = K::Label, .name = "Label4", .parent = "GroupBox2", .place = {5, 51, 0, 13},
     .caption = "Thumbnail Image:", .names = "edt_thumbnailimage"},
    {.kind = K::Field, .name = "edt_thumbnailimage", .control = C::edt_thumbnailimage, .parent = "GroupBox2",
     .place = {95, 50, 293, 21}, .readOnly = true},
    {.kind = K::PushButton, .name = "btn_thumbnailimage", .control = C::btn_thumbnailimage, .parent = "GroupBox2",
     .place = {397, 47, 51, 25}, .caption = "Browse", .handler = run<&MainForm::btn_thumbnailimageClick>},
    {.kind = K::Label, .name = "Label5", .parent = "GroupBox2", .place = {24, 99, 0, 13}, .caption = "Logo Image:",
     .names = "edt_logoimage"},
    {.kind = K::Field, .name = "edt_logoimage", .control = C::edt_logoimage, .parent = "GroupBox2",
     .place = {95, 96, 293, 21}, .readOnly = true},
    {.kind = K::PushButton, .name = "btn_logoimage", .control = C::btn_logoimage, .parent = "GroupBox2",
     .place = {397, 93, 51, 25}, .caption = "Browse", .handler = run<&MainForm::btn_logoimageClick>},
    {.kind = K::Label, .name = "Label6", .parent = "GroupBox2", .place = {26, 151, 0, 13}, .caption = "Logo Alpha:",
     .names = "trc_logoalpha"},
    // The logo inputs start switched off: "Include Logo:" starts unchecked.
    {.kind = K::TrackBar, .name = "trc_logoalpha", .control = C::trc_logoalpha, .parent = "GroupBox2",
     .place = {87, 147, 331, 20}, .enabled = false, .handler = run<&MainForm::trc_logoalphaChange>},
    {.kind = K::Label, .name = "lbl_position", .control = C::lbl_position, .parent = "GroupBox2",
     .place = {425, 149, 0, 13}, .caption = "0"},
    {.kind = K::Label, .name = "Label8", .parent = "GroupBox2", .place = {16, 187, 0, 13},
     .caption = "Logo Position:", .names = "GroupBox3"},
    {.kind = K::GroupBox, .name = "GroupBox3", .parent = "GroupBox2", .place = {95, 171, 357, 41}},
    {.kind = K::RadioButton, .name = "rb_topleft", .control = C::rb_topleft, .parent = "GroupBox3",
     .place = {10, 14, 65, 17}, .caption = "Top Left"},
    {.kind = K::RadioButton, .name = "rb_topright", .control = C::rb_topright, .parent = "GroupBox3",
     .place = {87, 14, 73, 17}, .caption = "Top Right"},
    {.kind = K::RadioButton, .name = "rb_bottomleft", .control = C::rb_bottomleft, .parent = "GroupBox3",
     .place = {171, 14, 81, 17}, .caption = "Bottom Left"},
    {.kind = K::RadioButton, .name = "rb_bottomright", .control = C::rb_bottomright, .parent = "GroupBox3",
     .place = {261, 14, 86, 17}, .caption = "Bottom Right"},
    {.kind = K::Label, .name = "Label11", .parent = "GroupBox2", .place = {37, 126, 0, 13}, .caption = "Logo link:",
     .names = "edt_logolink"},
    {.kind = K::Field, .name = "edt_logolink", .control = C::edt_logolink, .parent = "GroupBox2",
     .place = {95, 122, 168, 21}, .enabled = false, .readOnly = true,
     .hint = "Website to open when the logo is clicked. "},
    {.kind = K::Label, .name = "Label12", .parent = "GroupBox2", .place = {269, 126, 0, 13},
     .caption = "Logo Width:", .names = "edt_logowidth"},
    {.kind = K::Field, .name = "edt_logowidth", .control = C::edt_logowidth, .parent = "GroupBox2",
     .place = {329, 122, 121, 21}, .enabled = false, .readOnly = true, .keyFilter = &edt_logowidthKeyPress},

    {.kind = K::PushButton, .name = "btn_start", .control = C::btn_start, .place = {136, 389, 217, 25},
     .caption = "Generate HTML Code", .handler = run<&MainForm::btn_startClick>},
    {.kind = K::Label, .name = "Label10", .place = {13, 363, 0, 13}, .caption = "Output Directory:",
     .names = "edt_outputdir"},
    {.kind = K::Field, .name = "edt_outputdir", .control = C::edt_outputdir, .place = {100, 359, 274, 21},
     .readOnly = true},
    {.kind = K::PushButton, .name = "btn_outputdir", .control = C::btn_outputdir, .place = {380, 357, 49, 25},
     .caption = "Browse", .handler = run<&MainForm::btn_outputdirClick>},
    {.kind = K::PushButton, .name = "btn_open", .control = C::btn_open, .place = {432, 357, 38, 25},
     .caption = "Open", .handler = run<&MainForm::btn_openClick>},
};

const MenuCommand menu[] = {
    {"PublishMany1", "&Publish Many Videos\u2026", run<&MainForm::PublishMany1Click>, "Ctrl+M"},
    {"Upload1", "&Upload\u2026", run<&MainForm::Upload1Click>, "Ctrl+U"},
    {"WebSite1", "&Web Site", run<&MainForm::WebSite1Click>},
    {"NorvaneVidmorph1", "&Vidmorph", run<&MainForm::NorvaneVidmorph1Click>},
    {"Help1", "&Help", run<&MainForm::Help1Click>},
};

} // namespace

std::span<const Piece> mainFormLayout()
{
    return layout;
}

std::span<const MenuCommand> mainMenu()
{
    return menu;
}

const Piece& pieceNamed(const char* name)
{
    for (const Piece& piece : layout)
        if (std::strcmp(piece.name, name) == 0)
            return piece;
    throw std::out_of_range(std::string("no piece named ") + name);
}

Place placeInClientArea(const Piece& piece)
{
    Place place = piece.place;
    for (const char* parent = piece.parent; parent; parent = pieceNamed(parent).parent) {
        place.left += pieceNamed(parent).place.left;
        place.top += pieceNamed(parent).place.top;
    }
    return place;
}

} // namespace vidlume::form
