#include "ui/main.h"

#include "form/AccessibleNames.h"
#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "publish/Publish.h"
#include "platform/FileSystem.h"
#include "ui/ButtonKeys.h"
#include "ui/LocalPaths.h"
#include "ui/ErrorReport.h"
#include "ui/FitCaptions.h"
#include "ui/MessageBoxes.h"
#include "ui/OpenDialog.h"
#include "ui/directory.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>

using namespace vidlume;

TfrmMain* frmMain = nullptr;

namespace {

constexpr int clientWidth = 481;
constexpr int clientHeight = 421;

// Local paths travel as the file system's bytes; typed web texts as UTF-8.
std::string localPath(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString fromLocalPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// A path field shows its path's text and keeps the path's bytes beside it, since
// a name that is not valid UTF-8 does not survive the way through the text.
const char* const pathBytesProperty = "pathBytes";

void showPath(QLineEdit* field, const std::string& path)
{
    field->setText(fromLocalPath(path));
    field->setProperty(pathBytesProperty, QByteArray::fromStdString(path));
}

/// The path in a field: the bytes it was shown with, unless its text changed since.
std::string pathIn(const QLineEdit* field)
{
    const QByteArray bytes = field->property(pathBytesProperty).toByteArray();
    return QFile::decodeName(bytes) == field->text() ? bytes.toStdString() : localPath(field->text());
}

template <typename Widget>
Widget* place(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* widget = new Widget(parent);
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

template <typename Widget>
Widget* place(QWidget* parent, const char* name, int left, int top, int width, int height,
              const QString& caption)
{
    auto* widget = place<Widget>(parent, name, left, top, width, height);
    if constexpr (std::is_same_v<Widget, QGroupBox>)
        widget->setTitle(caption);
    else
        widget->setText(caption);
    return widget;
}

/// A label as wide as its caption and 13 pixels high.
QLabel* label(QWidget* parent, const char* name, int left, int top, const QString& caption)
{
    auto* widget = place<QLabel>(parent, name, left, top, 0, 13, caption);
    widget->resize(widget->sizeHint().width(), 13);
    return widget;
}

// A field is never disabled, so that its text can still be selected and copied.
// One that takes no typing is read-only, out of the Tab chain, and drawn on the
// window's colour so that it looks so in any palette; switched off (what other
// controls show disabled), its text is dimmed too.
const char* const switchedOffProperty = "switchedOff";

bool switchedOff(const QLineEdit* field)
{
    return field->property(switchedOffProperty).toBool();
}

/// Colours a field after its state from the window's palette: again whenever that changes.
void colourField(QLineEdit* field, const QPalette& window)
{
    if (!field->isReadOnly() && !switchedOff(field)) {
        field->setPalette(QPalette());
        return;
    }
    QPalette palette = window;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, window.color(group, QPalette::Window));
        if (switchedOff(field))
            palette.setColor(group, QPalette::Text, window.color(QPalette::Disabled, QPalette::Text));
    }
    field->setPalette(palette);
}

void setFieldState(QLineEdit* field, bool readOnly, bool off)
{
    field->setProperty(switchedOffProperty, off);
    field->setReadOnly(readOnly || off);
    field->setFocusPolicy(field->isReadOnly() ? Qt::ClickFocus : Qt::StrongFocus);
    if (QWidget* window = field->window())
        colourField(field, window->palette());
}

/// A field that shows a chosen path: read-only, filled by the dialogs.
QLineEdit* pathField(QWidget* parent, const char* name, int left, int top, int width)
{
    auto* field = place<QLineEdit>(parent, name, left, top, width, 21);
    setFieldState(field, true, false);
    return field;
}

/// A logo field, switched off until "Include Logo:" is checked.
QLineEdit* logoField(QWidget* parent, const char* name, int left, int top, int width)
{
    auto* field = place<QLineEdit>(parent, name, left, top, width, 21);
    setFieldState(field, true, true);
    return field;
}

/// The character that a key press types into a field, or nothing for keys that
/// type none (arrows, Delete), for Tab, which moves the focus, and for shortcuts
/// such as copy and paste.
std::optional<QChar> typedCharacter(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Backspace:
        return QChar(8);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QChar(13);
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return std::nullopt;
    default:
        break;
    }
    if (event.text().isEmpty())
        return std::nullopt;
    const QChar typed = event.text().front();
    // A shortcut is left to the field; but with Ctrl+Alt or Meta held a printable
    // character is still typed into it, as the field's own input rule has it.
    const auto modifiers = event.modifiers();
    const bool shortcut = modifiers == Qt::ControlModifier ||
                          modifiers == (Qt::ControlModifier | Qt::ShiftModifier) ||
                          (modifiers & (Qt::ControlModifier | Qt::MetaModifier) && !typed.isPrint());
    if (shortcut)
        return std::nullopt;
    return typed;
}

void showWarning(QWidget* parent, const QString& text)
{
    ui::messageBoxes().show(parent, "Warning", text, ui::MessageIcon::None);
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), m_publish(&publishGeneration), m_programFolder(platform::programFolder())
{
    setObjectName("frmMain");
    setWindowTitle("Norvane Vidlume");
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    setFont(font);

    createControls();
    // The controls' places were laid out for another font: no caption may be cut off in ours.
    ui::fitCaptions(centralWidget());
    createMenu();
    arrangeTabOrder();
    nameControls();
    createStatusLine();
    // A video file dropped anywhere on the window is taken as "Browse" would take it.
    setAcceptDrops(true);
    connectHandlers();
    ui::clickFocusedButtonsOnEnter(this);
    // A fixed client area: the window cannot be resized by dragging.
    setFixedSize(clientWidth,
                 clientHeight + MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());

    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName("clientArea");
    client->setFixedSize(clientWidth, clientHeight);
    // Group box captions sit on the frame line, so the controls' places inside the
    // boxes leave the room they were laid out with.
    client->setStyleSheet("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                          "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }");
    setCentralWidget(client);

    GroupBox1 = place<QGroupBox>(client, "GroupBox1", 8, 3, 463, 127, "VIdeo File");
    Label1 = label(GroupBox1, "Label1", 33, 19, "VIdeo File:");
    Label2 = label(GroupBox1, "Label2", 29, 46, "Video path:");
    Label3 = label(GroupBox1, "Label3", 9, 74, "FLV playe path:");
    Label9 = label(GroupBox1, "Label9", 36, 99, "Vide Size:");
    edt_videofile = pathField(GroupBox1, "edt_videofile", 92, 14, 301);
    btn_videofile = place<QPushButton>(GroupBox1, "btn_videofile", 401, 11, 50, 25, "Browse");
    cbb_videosize = place<QComboBox>(GroupBox1, "cbb_videosize", 92, 98, 145, 21);
    cbb_videosize->setEditable(true);
    // A size typed and confirmed with Enter stays in the text only; the list keeps its four sizes.
    cbb_videosize->setInsertPolicy(QComboBox::NoInsert);
    cbb_videosize->addItems({"320x240", "512x384", "640x480", "720x540"});
    cbb_videosize->setCurrentIndex(0);
    chk_autoplay = place<QCheckBox>(GroupBox1, "chk_autoplay", 256, 100, 97, 17, "Auto Play Video");
    chk_html5 = place<QCheckBox>(GroupBox1, "chk_html5", 356, 100, 95, 17, "HTML5 Player");
    chk_html5->setChecked(form::html5PlayerAtStart);
    edt_videopath = place<QLineEdit>(GroupBox1, "edt_videopath", 92, 42, 301, 21);
    btn_videopathhelp = place<QPushButton>(GroupBox1, "btn_videopathhelp", 401, 41, 50, 25, "Help");
    edt_flvplayerpath = place<QLineEdit>(GroupBox1, "edt_flvplayerpath", 92, 70, 303, 21);
    btn_flvplayerpath = place<QPushButton>(GroupBox1, "btn_flvplayerpath", 401, 72, 50, 25, "Help");

    GroupBox2 = place<QGroupBox>(client, "GroupBox2", 8, 136, 463, 216, "Web Player Option");
    Label4 = label(GroupBox2, "Label4", 5, 51, "Thumbnail Image:");
    Label5 = label(GroupBox2, "Label5", 24, 99, "Logo Image:");
    Label11 = label(GroupBox2, "Label11", 37, 126, "Logo link:");
    Label12 = label(GroupBox2, "Label12", 269, 126, "Logo Width:");
    Label6 = label(GroupBox2, "Label6", 26, 151, "Logo Alpha:");
    lbl_position = label(GroupBox2, "lbl_position", 425, 149, "0");
    Label8 = label(GroupBox2, "Label8", 16, 187, "Logo Position:");
    chk_thumbnail = place<QCheckBox>(GroupBox2, "chk_thumbnail", 6, 24, 113, 17, "Include Thumbnail:");
    chk_logo = place<QCheckBox>(GroupBox2, "chk_logo", 6, 75, 89, 17, "Include Logo:");
    edt_thumbnailimage = pathField(GroupBox2, "edt_thumbnailimage", 95, 50, 293);
    btn_thumbnailimage = place<QPushButton>(GroupBox2, "btn_thumbnailimage", 397, 47, 51, 25, "Browse");
    edt_logoimage = pathField(GroupBox2, "edt_logoimage", 95, 96, 293);
    btn_logoimage = place<QPushButton>(GroupBox2, "btn_logoimage", 397, 93, 51, 25, "Browse");
    trc_logoalpha = place<QSlider>(GroupBox2, "trc_logoalpha", 87, 147, 331, 20);
    trc_logoalpha->setOrientation(Qt::Horizontal);
    trc_logoalpha->setRange(0, 100);
    trc_logoalpha->setValue(0);
    trc_logoalpha->setTickPosition(QSlider::TicksBelow);
    trc_logoalpha->setTickInterval(10);
    trc_logoalpha->setSingleStep(1);
    trc_logoalpha->setPageStep(2);
    trc_logoalpha->setEnabled(false);
    GroupBox3 = place<QGroupBox>(GroupBox2, "GroupBox3", 95, 171, 357, 41);
    rb_topleft = place<QRadioButton>(GroupBox3, "rb_topleft", 10, 14, 65, 17, "Top Left");
    rb_topright = place<QRadioButton>(GroupBox3, "rb_topright", 87, 14, 73, 17, "Top Right");
    rb_bottomleft = place<QRadioButton>(GroupBox3, "rb_bottomleft", 171, 14, 81, 17, "Bottom Left");
    rb_bottomright = place<QRadioButton>(GroupBox3, "rb_bottomright", 261, 14, 86, 17, "Bottom Right");
    edt_logolink = logoField(GroupBox2, "edt_logolink", 95, 122, 168);
    edt_logolink->setToolTip("Website to open when the logo is clicked. ");
    edt_logowidth = logoField(GroupBox2, "edt_logowidth", 329, 122, 121);
    edt_logowidth->installEventFilter(this);

    Label10 = label(client, "Label10", 13, 363, "Output Directory:");
    btn_start = place<QPushButton>(client, "btn_start", 136, 389, 217, 25, "Generate HTML Code");
    edt_outputdir = pathField(client, "edt_outputdir", 100, 359, 274);
    btn_outputdir = place<QPushButton>(client, "btn_outputdir", 380, 357, 49, 25, "Browse");
    btn_open = place<QPushButton>(client, "btn_open", 432, 357, 38, 25, "Open");

    OpenDialog1 = new ui::OpenDialog(this);
    OpenDialog1->setObjectName("OpenDialog1");
}

void TfrmMain::createMenu()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    WebSite1 = MainMenu1->addAction("&Web Site");
    WebSite1->setObjectName("WebSite1");
    NorvaneVidmorph1 = MainMenu1->addAction("&Vidmorph");
    NorvaneVidmorph1->setObjectName("NorvaneVidmorph1");
    Help1 = MainMenu1->addAction("&Help");
    Help1->setObjectName("Help1");
    setMenuBar(MainMenu1);
}

void TfrmMain::arrangeTabOrder()
{
    QWidget* const order[] = {
        btn_videofile,      cbb_videosize,      chk_autoplay,      chk_html5,      edt_videopath,
        btn_videopathhelp,  edt_flvplayerpath,  btn_flvplayerpath, chk_thumbnail,  chk_logo,
        edt_thumbnailimage, btn_thumbnailimage, edt_logoimage,     btn_logoimage,  trc_logoalpha,
        rb_topleft,         rb_topright,        rb_bottomleft,     rb_bottomright, edt_logolink,
        edt_logowidth,      btn_start,          edt_outputdir,     btn_outputdir,  btn_open,
    };
    QWidget::setTabOrder(edt_videofile, order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TfrmMain::nameControls()
{
    // Each label names its field for screen readers, as it does on screen.
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {Label1, edt_videofile},       {Label2, edt_videopath},  {Label3, edt_flvplayerpath},
        {Label9, cbb_videosize},       {Label4, edt_thumbnailimage}, {Label5, edt_logoimage},
        {Label11, edt_logolink},       {Label12, edt_logowidth}, {Label6, trc_logoalpha},
        {Label8, GroupBox3},           {Label10, edt_outputdir},
    };
    for (const auto& [label, field] : labelled)
        label->setBuddy(field);
    // Where a label is not what Qt announces: an editable combo box is announced
    // by its value, the slider and the caption-less group by nothing of their own.
    cbb_videosize->setAccessibleName("Vide Size");
    trc_logoalpha->setAccessibleName("Logo Alpha");
    GroupBox3->setAccessibleName("Logo Position");

    // Buttons of one caption say which field they serve.
    for (const auto& [control, name, description] : form::accessibleButtonNames()) {
        widgetOf(control)->setAccessibleName(name);
        widgetOf(control)->setAccessibleDescription(description);
    }
}

void TfrmMain::createStatusLine()
{
    QStatusBar* line = statusBar();
    line->setObjectName("statusLine");
    line->setSizeGripEnabled(false);
    m_published = new QLabel(line);
    m_published->setObjectName("lbl_published");
    m_published->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openPage = new QPushButton(tr("Open Page in Browser"), line);
    m_openPage->setObjectName("btn_openpage");
    m_openPage->setAccessibleDescription(tr("Opens the published index.htm in the web browser"));
    m_copyAddress = new QPushButton(tr("Copy Page Address"), line);
    m_copyAddress->setObjectName("btn_copypageaddress");
    m_copyAddress->setAccessibleDescription(tr("Copies the address of the published index.htm"));
    for (QPushButton* button : {m_openPage, m_copyAddress}) {
        button->setFlat(true);
        button->setFocusPolicy(Qt::ClickFocus); // the Tab order stays the form's
        button->hide();
    }
    line->addWidget(m_published, 1);
    line->addPermanentWidget(m_openPage);
    line->addPermanentWidget(m_copyAddress);
    connect(m_openPage, &QPushButton::clicked, this, ui::reportingErrors(this, [this] {
                m_form.openPublishedPage(m_publishedFolder);
            }));
    connect(m_copyAddress, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(form::publishedPageAddress(m_publishedFolder)));
    });
}

void TfrmMain::showPublished(const std::string& folder)
{
    m_publishedFolder = folder;
    const QString text = tr("Published to %1").arg(fromLocalPath(folder));
    m_published->setToolTip(text);
    m_published->setText(m_published->fontMetrics().elidedText(text, Qt::ElideMiddle, m_published->width()));
    m_published->setAccessibleName(text);
    m_openPage->show();
    m_copyAddress->show();
}

void TfrmMain::openVideo(const std::string& path)
{
    ui::runReportingErrors(this, [&] { m_form.videoFileChosen(path); });
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1)
        return;
    const auto path = ui::localPathOfUrl(urls.front());
    if (path && platform::fileExists(*path))
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    const auto path = urls.size() == 1 ? ui::localPathOfUrl(urls.front()) : std::nullopt;
    if (!path || !platform::fileExists(*path))
        return;
    event->acceptProposedAction();
    openVideo(*path);
}

void TfrmMain::colourFields()
{
    for (QLineEdit* field :
         {edt_videofile, edt_thumbnailimage, edt_logoimage, edt_outputdir, edt_logolink, edt_logowidth})
        colourField(field, palette());
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A new palette (a dark theme chosen while running) reaches every control: the
    // style sheet fixed the palette of the controls below it when it was applied.
    if (event->type() == QEvent::PaletteChange) {
        QWidget* client = centralWidget();
        client->setStyleSheet(client->styleSheet());
        colourFields();
    }
}

template <typename Sender, typename Signal>
void TfrmMain::connectHandler(Sender* sender, Signal signal, void (TfrmMain::*handler)())
{
    connect(sender, signal, this, ui::reportingErrors(this, [this, handler] { (this->*handler)(); }));
}

void TfrmMain::connectHandlers()
{
    connectHandler(btn_videofile, &QPushButton::clicked, &TfrmMain::btn_videofileClick);
    connectHandler(btn_thumbnailimage, &QPushButton::clicked, &TfrmMain::btn_thumbnailimageClick);
    connectHandler(btn_logoimage, &QPushButton::clicked, &TfrmMain::btn_logoimageClick);
    connectHandler(chk_thumbnail, &QCheckBox::toggled, &TfrmMain::chk_thumbnailClick);
    connectHandler(chk_logo, &QCheckBox::toggled, &TfrmMain::chk_logoClick);
    connectHandler(trc_logoalpha, &QSlider::valueChanged, &TfrmMain::trc_logoalphaChange);
    connectHandler(btn_open, &QPushButton::clicked, &TfrmMain::btn_openClick);
    connectHandler(btn_start, &QPushButton::clicked, &TfrmMain::btn_startClick);
    connectHandler(btn_outputdir, &QPushButton::clicked, &TfrmMain::btn_outputdirClick);
    connectHandler(btn_videopathhelp, &QPushButton::clicked, &TfrmMain::btn_videopathhelpClick);
    connectHandler(btn_flvplayerpath, &QPushButton::clicked, &TfrmMain::btn_flvplayerpathClick);
    connectHandler(WebSite1, &QAction::triggered, &TfrmMain::WebSite1Click);
    connectHandler(NorvaneVidmorph1, &QAction::triggered, &TfrmMain::NorvaneVidmorph1Click);
    connectHandler(Help1, &QAction::triggered, &TfrmMain::Help1Click);
}

void TfrmMain::FormCreate()
{
    m_form.FormCreate();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_centred) {
        centreOnDesktop();
        m_centred = true;
    }
    ui::runReportingErrors(this, [this] { FormShow(); });
}

void TfrmMain::centreOnDesktop()
{
    if (const QScreen* desktop = screen()) {
        const QRect area = desktop->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
}

void TfrmMain::FormShow()
{
    colourFields();
    m_form.FormShow();
}

void TfrmMain::btn_videofileClick()
{
    m_form.btn_videofileClick();
}

void TfrmMain::btn_thumbnailimageClick()
{
    m_form.btn_thumbnailimageClick();
}

void TfrmMain::btn_logoimageClick()
{
    m_form.btn_logoimageClick();
}

void TfrmMain::chk_thumbnailClick()
{
    m_form.chk_thumbnailClick();
}

void TfrmMain::chk_logoClick()
{
    m_form.chk_logoClick();
}

void TfrmMain::trc_logoalphaChange()
{
    m_form.trc_logoalphaChange();
}

void TfrmMain::edt_logowidthKeyPress(QChar& Key)
{
    Key = QChar(static_cast<char16_t>(form::edt_logowidthKeyPress(Key.unicode())));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != edt_logowidth)
        return QMainWindow::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress) {
        if (auto typed = typedCharacter(*static_cast<QKeyEvent*>(event))) {
            QChar key = *typed;
            ui::runReportingErrors(this, [this, &key] { edt_logowidthKeyPress(key); });
            return key.isNull();
        }
    } else if (event->type() == QEvent::InputMethod) {
        // Text composed by an input method is typed too.
        auto* input = static_cast<QInputMethodEvent*>(event);
        QString passed;
        for (QChar key : input->commitString()) {
            ui::runReportingErrors(this, [this, &key] { edt_logowidthKeyPress(key); });
            if (!key.isNull())
                passed += key;
        }
        input->setCommitString(passed, input->replacementStart(), input->replacementLength());
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::btn_openClick()
{
    m_form.btn_openClick();
}

void TfrmMain::btn_startClick()
{
    if (const auto result = m_form.btn_startClick())
        showPublished(result->folder);
}

void TfrmMain::btn_outputdirClick()
{
    m_form.btn_outputdirClick();
}

void TfrmMain::WebSite1Click()
{
    m_form.WebSite1Click();
}

void TfrmMain::NorvaneVidmorph1Click()
{
    m_form.NorvaneVidmorph1Click();
}

void TfrmMain::Help1Click()
{
    m_form.Help1Click();
}

void TfrmMain::btn_videopathhelpClick()
{
    m_form.btn_videopathhelpClick();
}

void TfrmMain::btn_flvplayerpathClick()
{
    m_form.btn_flvplayerpathClick();
}

QWidget* TfrmMain::widgetOf(form::Control control) const
{
    using form::Control;
    switch (control) {
    case Control::edt_videofile:
        return edt_videofile;
    case Control::btn_videofile:
        return btn_videofile;
    case Control::cbb_videosize:
        return cbb_videosize;
    case Control::chk_autoplay:
        return chk_autoplay;
    case Control::chk_html5:
        return chk_html5;
    case Control::edt_videopath:
        return edt_videopath;
    case Control::btn_videopathhelp:
        return btn_videopathhelp;
    case Control::edt_flvplayerpath:
        return edt_flvplayerpath;
    case Control::btn_flvplayerpath:
        return btn_flvplayerpath;
    case Control::chk_thumbnail:
        return chk_thumbnail;
    case Control::chk_logo:
        return chk_logo;
    case Control::edt_thumbnailimage:
        return edt_thumbnailimage;
    case Control::btn_thumbnailimage:
        return btn_thumbnailimage;
    case Control::edt_logoimage:
        return edt_logoimage;
    case Control::btn_logoimage:
        return btn_logoimage;
    case Control::trc_logoalpha:
        return trc_logoalpha;
    case Control::lbl_position:
        return lbl_position;
    case Control::rb_topleft:
        return rb_topleft;
    case Control::rb_topright:
        return rb_topright;
    case Control::rb_bottomleft:
        return rb_bottomleft;
    case Control::rb_bottomright:
        return rb_bottomright;
    case Control::edt_logolink:
        return edt_logolink;
    case Control::edt_logowidth:
        return edt_logowidth;
    case Control::btn_start:
        return btn_start;
    case Control::edt_outputdir:
        return edt_outputdir;
    case Control::btn_outputdir:
        return btn_outputdir;
    case Control::btn_open:
        return btn_open;
    }
    return nullptr;
}

std::string TfrmMain::controlText(form::Control control) const
{
    QWidget* widget = widgetOf(control);
    if (auto* field = qobject_cast<QLineEdit*>(widget))
        return form::holdsLocalPath(control) ? pathIn(field) : field->text().toStdString();
    if (auto* box = qobject_cast<QComboBox*>(widget))
        return box->currentText().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().toStdString();
    return {};
}

void TfrmMain::setControlText(form::Control control, const std::string& text)
{
    QWidget* widget = widgetOf(control);
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        if (form::holdsLocalPath(control))
            showPath(field, text);
        else
            field->setText(QString::fromStdString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(QString::fromStdString(text));
        label->resize(label->sizeHint().width(), 13);
    } else if (auto* box = qobject_cast<QComboBox*>(widget)) {
        box->setCurrentText(QString::fromStdString(text));
    }
}

bool TfrmMain::controlChecked(form::Control control) const
{
    auto* button = qobject_cast<QAbstractButton*>(widgetOf(control));
    return button && button->isChecked();
}

int TfrmMain::controlPosition(form::Control control) const
{
    auto* slider = qobject_cast<QSlider*>(widgetOf(control));
    return slider ? slider->value() : 0;
}

void TfrmMain::enableControl(form::Control control, bool enabled)
{
    if (auto* field = qobject_cast<QLineEdit*>(widgetOf(control)))
        setFieldState(field, field->isReadOnly() && !switchedOff(field), !enabled);
    else
        widgetOf(control)->setEnabled(enabled);
}

void TfrmMain::setControlReadOnly(form::Control control, bool readOnly)
{
    if (auto* field = qobject_cast<QLineEdit*>(widgetOf(control)))
        setFieldState(field, readOnly, switchedOff(field));
}

void TfrmMain::focusControl(form::Control control)
{
    widgetOf(control)->setFocus();
}

void TfrmMain::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TfrmMain::showWarning(const std::string& text)
{
    ::showWarning(this, fromLocalPath(text)); // it may name files by their path
}

std::optional<std::string> TfrmMain::runOpenDialog(const std::vector<form::FileFilter>& filters)
{
    QStringList names;
    for (const auto& filter : filters)
        names << QString::fromStdString(filter.name);
    OpenDialog1->setFilters(names);
    OpenDialog1->clearFileName();
    if (!OpenDialog1->execute())
        return std::nullopt;
    return OpenDialog1->fileName();
}

std::string TfrmMain::runFolderChooser()
{
    if (!fmDirectory)
        fmDirectory = new TfmDirectory(this);
    fmDirectory->exec();
    return fmDirectory->SelectedDir;
}

PublishResult TfrmMain::publishWithProgress(const PageInputs& inputs)
{
    return ui::publishWithProgress(this, m_publish, inputs, m_programFolder);
}
