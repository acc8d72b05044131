#include "ui/main.h"

#include "form/AccessibleNames.h"
#include "form/MainFormLayout.h"
#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "publish/Publish.h"
#include "platform/FileSystem.h"
#include "ui/ButtonKeys.h"
#include "ui/ComboBoxAccessible.h"
#include "ui/LocalPaths.h"
#include "ui/ErrorReport.h"
#include "ui/FitCaptions.h"
#include "ui/MessageBoxes.h"
#include "ui/OpenDialog.h"
#include "ui/SiteDialog.h"
#include "ui/UploadDialog.h"
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


/// A widget of this kind at its place in parent, named and captioned as the piece.
QWidget* makeWidget(const form::Piece& piece, QWidget* parent)
{
    using Kind = form::PieceKind;
    const QString caption = QString::fromUtf8(piece.caption);
    QWidget* widget = nullptr;
    switch (piece.kind) {
    case Kind::GroupBox: {
        auto* box = new QGroupBox(parent);
        box->setTitle(caption);
        widget = box;
        break;
    }
    case Kind::Label:
        widget = new QLabel(caption, parent);
        break;
    case Kind::Field: {
        auto* field = new QLineEdit(parent);
        if (piece.readOnly || !piece.enabled)
            setFieldState(field, piece.readOnly, !piece.enabled);
        widget = field;
        break;
    }
    case Kind::ComboBox: {
        auto* box = new QComboBox(parent);
        box->setEditable(true);
        // A size typed and confirmed with Enter stays in the text only; the list keeps its sizes.
        box->setInsertPolicy(QComboBox::NoInsert);
        for (const char* item : piece.items)
            box->addItem(QString::fromUtf8(item));
        box->setCurrentIndex(0);
        widget = box;
        break;
    }
    case Kind::PushButton:
        widget = new QPushButton(caption, parent);
        break;
    case Kind::CheckBox: {
        auto* box = new QCheckBox(caption, parent);
        box->setChecked(piece.checked);
        widget = box;
        break;
    }
    case Kind::RadioButton:
        widget = new QRadioButton(caption, parent);
        break;
    case Kind::TrackBar: {
        auto* bar = new QSlider(Qt::Horizontal, parent);
        bar->setRange(piece.range.minimum, piece.range.maximum);
        bar->setValue(piece.range.minimum);
        bar->setTickPosition(QSlider::TicksBelow);
        bar->setTickInterval(piece.range.tickEvery);
        bar->setSingleStep(piece.range.lineStep);
        bar->setPageStep(piece.range.pageStep);
        widget = bar;
        break;
    }
    }
    widget->setObjectName(piece.name);
    const form::Place& place = piece.place;
    // A label of width 0 is as wide as its caption.
    widget->setGeometry(place.left, place.top, place.width ? place.width : widget->sizeHint().width(),
                        place.height);
    if (piece.kind != Kind::Field && !piece.enabled)
        widget->setEnabled(false);
    if (piece.hint)
        widget->setToolTip(QString::fromUtf8(piece.hint));
    return widget;
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

    ui::nameComboBoxesByLabel();
    createControls();
    // The controls' places were laid out for another font: no caption may be cut off in ours.
    ui::fitCaptions(centralWidget());
    createMenu();
    nameControls();
    createStatusLine();
    // A video file dropped anywhere on the window is taken as "Browse" would take it.
    setAcceptDrops(true);
    ui::clickFocusedButtonsOnEnter(this);
    // A fixed client area: the window cannot be resized by dragging.
    setFixedSize(form::clientWidth,
                 form::clientHeight + MainMenu1->sizeHint().height() + statusBar()->sizeHint().height());

    m_form.FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName("clientArea");
    client->setFixedSize(form::clientWidth, form::clientHeight);
    // Group box captions sit on the frame line, so the controls' places inside the
    // boxes leave the room they were laid out with.
    client->setStyleSheet("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                          "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }");
    setCentralWidget(client);

    QWidget* previous = nullptr;
    for (const form::Piece& piece : form::mainFormLayout()) {
        QWidget* widget = makeWidget(piece, piece.parent ? m_pieces.at(piece.parent) : client);
        m_pieces[piece.name] = widget;
        if (!piece.control)
            continue;
        m_controls[std::size_t(*piece.control)] = widget;
        // The Tab order is the layout's.
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
        if (piece.keyFilter) {
            m_keyFilters[widget] = piece.keyFilter;
            widget->installEventFilter(this);
        }
        if (!piece.handler)
            continue;
        const auto run = [this, handler = piece.handler] { runHandler(handler); };
        if (auto* box = qobject_cast<QCheckBox*>(widget))
            connect(box, &QCheckBox::toggled, this, run);
        else if (auto* button = qobject_cast<QPushButton*>(widget))
            connect(button, &QPushButton::clicked, this, run);
        else if (auto* bar = qobject_cast<QSlider*>(widget))
            connect(bar, &QSlider::valueChanged, this, run);
    }

    OpenDialog1 = new ui::OpenDialog(this);
    OpenDialog1->setObjectName("OpenDialog1");
}

void TfrmMain::runHandler(form::Handler handler)
{
    ui::runReportingErrors(this, [this, handler] { handler(m_form); });
}

void TfrmMain::createMenu()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    for (const form::MenuCommand& command : form::mainMenu()) {
        QAction* action = MainMenu1->addAction(QString::fromUtf8(command.caption));
        action->setObjectName(command.name);
        if (command.shortcut)
            action->setShortcut(QKeySequence(QString::fromUtf8(command.shortcut), QKeySequence::PortableText));
        connect(action, &QAction::triggered, this, [this, handler = command.handler] { runHandler(handler); });
    }
    setMenuBar(MainMenu1);
}

void TfrmMain::nameControls()
{
    // Each label names its piece for screen readers, as it does on screen. Qt
    // announces a field by that label, but the slider and the caption-less group
    // by nothing of their own: those, and the combo box, carry the label's words
    // as their name.
    for (const form::Piece& piece : form::mainFormLayout()) {
        if (!piece.names)
            continue;
        auto* label = static_cast<QLabel*>(m_pieces.at(piece.name));
        QWidget* named = m_pieces.at(piece.names);
        label->setBuddy(named);
        if (!qobject_cast<QLineEdit*>(named))
            named->setAccessibleName(label->text().chopped(label->text().endsWith(':') ? 1 : 0));
    }

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
    m_upload = new QPushButton(tr("Upload\u2026"), line);
    m_upload->setObjectName("btn_upload");
    m_upload->setAccessibleDescription(tr("Sends the published folder to your web server"));
    // Real buttons, drawn as buttons in every palette, reached with Tab after the
    // form's own controls.
    QWidget* previous = nullptr;
    for (const form::Piece& piece : form::mainFormLayout())
        if (piece.control)
            previous = widgetOf(*piece.control);
    for (QPushButton* button : {m_openPage, m_copyAddress, m_upload}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(false);
        QWidget::setTabOrder(previous, button);
        previous = button;
        button->hide();
    }
    line->addWidget(m_published, 1);
    line->addPermanentWidget(m_openPage);
    line->addPermanentWidget(m_copyAddress);
    line->addPermanentWidget(m_upload);
    connect(m_openPage, &QPushButton::clicked, this, ui::reportingErrors(this, [this] {
                m_form.openPublishedPage(m_publishedFolder);
            }));
    connect(m_upload, &QPushButton::clicked, this, [this] { runUploadDialog(m_publishedFolder); });
    connect(m_copyAddress, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(form::publishedPageAddress(m_publishedFolder)));
    });
}

void TfrmMain::showStatus(const std::string& text)
{
    m_publishedFolder.clear();
    const QString said = QString::fromStdString(text);
    m_published->setToolTip(said);
    m_published->setText(m_published->fontMetrics().elidedText(said, Qt::ElideMiddle, m_published->width()));
    m_published->setAccessibleName(said);
    m_openPage->hide();
    m_copyAddress->hide();
    m_upload->hide();
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
    m_upload->show();
}

void TfrmMain::openVideos(const std::vector<std::string>& paths)
{
    ui::runReportingErrors(this, [&] { m_form.videoFilesChosen(paths); });
}

namespace {

/// The existing local files and folders among dropped addresses.
std::vector<std::string> droppedFiles(const QMimeData& data)
{
    std::vector<std::string> files;
    for (const QUrl& url : data.urls())
        if (const auto path = ui::localPathOfUrl(url);
            path && (platform::fileExists(*path) || platform::directoryExists(*path)))
            files.push_back(*path);
    return files;
}

} // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFiles(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> files = droppedFiles(*event->mimeData());
    if (files.empty())
        return;
    event->acceptProposedAction();
    ui::runReportingErrors(this, [&] { m_form.filesDropped(files); });
}

void TfrmMain::colourFields()
{
    for (std::size_t control = 0; control < form::controlCount; ++control)
        if (form::hasFieldColour(form::Control(control)))
            colourField(static_cast<QLineEdit*>(m_controls[control]), palette());
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

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_centred) {
        centreOnDesktop();
        m_centred = true;
    }
    ui::runReportingErrors(this, [this] {
        colourFields();
        m_form.FormShow();
    });
}

void TfrmMain::centreOnDesktop()
{
    if (const QScreen* desktop = screen()) {
        const QRect area = desktop->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    const auto found = m_keyFilters.find(watched);
    if (found == m_keyFilters.end())
        return QMainWindow::eventFilter(watched, event);
    const auto filter = [keyFilter = found->second](QChar key) {
        return QChar(static_cast<char16_t>(keyFilter(key.unicode())));
    };

    if (event->type() == QEvent::KeyPress) {
        if (auto typed = typedCharacter(*static_cast<QKeyEvent*>(event)))
            return filter(*typed).isNull();
    } else if (event->type() == QEvent::InputMethod) {
        // Text composed by an input method is typed too.
        auto* input = static_cast<QInputMethodEvent*>(event);
        QString passed;
        for (const QChar key : input->commitString()) {
            if (const QChar kept = filter(key); !kept.isNull())
                passed += kept;
        }
        input->setCommitString(passed, input->replacementStart(), input->replacementLength());
    }
    return QMainWindow::eventFilter(watched, event);
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

std::optional<std::string> TfrmMain::runFolderChooser()
{
    if (!fmDirectory)
        fmDirectory = new TfmDirectory(this);
    fmDirectory->exec();
    if (fmDirectory->SelectedDir.empty())
        return std::nullopt;
    return fmDirectory->SelectedDir;
}

void TfrmMain::runSiteDialog(const std::vector<std::string>& sources, const PageInputs& options)
{
    ui::SiteDialog dialog(this, options, sources);
    if (!m_programFolder.empty())
        dialog.form().setProgramFolder(m_programFolder);
    if (m_launcher)
        dialog.form().setLauncher(m_launcher);
    dialog.exec();
}

void TfrmMain::runUploadDialog(const std::string& folder)
{
    ui::UploadDialog dialog(this, folder);
    if (m_launcher)
        dialog.form().setLauncher(m_launcher);
    dialog.exec();
}

PublishResult TfrmMain::publishWithProgress(const PageInputs& inputs)
{
    m_generating = true;
    const struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_generating};
    return ui::publishWithProgress(this, m_publish, inputs, m_programFolder);
}
