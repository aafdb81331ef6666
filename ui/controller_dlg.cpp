#include "controller_dlg.h"

#include <algorithm>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QToolTip>
#include <QWindow>

#include "cnc_edit_box_ctrl.h"
#include "cnc_program.h"
#include "code_page_1252.h"
#include "control_ids.h"
#include "file_chooser.h"
#include "function_key_router.h"
#include "help_window.h"
#include "machine_state.h"
#include "program_cursor.h"
#include "run_to_mode.h"
#include "settings_store.h"
#include "state_texts.h"
#include "toolpath_window.h"
#include "tooltip_texts.h"
#include "window_placement.h"
#include "word_explanation.h"
#include "ui_controller_dlg.h"

// Outside any namespace, as the resource initialiser must be.
static void InitPanelResources() { Q_INIT_RESOURCE(tornavel); }

namespace {

constexpr int OUTER_WIDTH = 500;
constexpr int OUTER_HEIGHT = 400;
constexpr int DEFAULT_POSITION = 10;
constexpr int HIDDEN_BITMAP_SIZE = 180;
// Client pixels (7, 205)-(407, 305).
constexpr QRect EDITOR_RECT(7, 205, 400, 100);

constexpr double SMALLEST_INDICATOR_POINT_SIZE = 6.0;
constexpr double INDICATOR_POINT_STEP = 0.5;

constexpr const char* PANEL_FONT_FAMILIES[] = {"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans",
                                               "Nimbus Sans", "Helvetica"};

const char* const START_X = "start_x";
const char* const START_Y = "start_y";

bool ShowsText(QWidget* control)
{
    return qobject_cast<QLabel*>(control) != nullptr || qobject_cast<QAbstractButton*>(control) != nullptr ||
           qobject_cast<QGroupBox*>(control) != nullptr || qobject_cast<QComboBox*>(control) != nullptr;
}

struct KeyCommand {
    CCncEditBoxCtrl::FunctionKey key;
    void (CControllerDlg::*command)();
};

// The editor's keys and the commands they run. F5 has no command on the
// panel.
constexpr KeyCommand KEY_COMMANDS[] = {
    {CCncEditBoxCtrl::KEY_F4, &CControllerDlg::OnReset},
    {CCncEditBoxCtrl::KEY_F5, &CControllerDlg::OnTogglePath},
    {CCncEditBoxCtrl::KEY_F8, &CControllerDlg::OnJumpToActual},
    {CCncEditBoxCtrl::KEY_F9, &CControllerDlg::OnRunTo},
    {CCncEditBoxCtrl::KEY_F10, &CControllerDlg::OnNextWord},
    {CCncEditBoxCtrl::KEY_SHIFT_F10, &CControllerDlg::OnStepBack},
};

// Millions of lines need more room than the form gives the indicator: it
// takes what lies to its right, then a smaller face, rather than cut the
// count short; short counts get the form's width and face back.
void FitIndicator(QLabel& indicator, int formWidth)
{
    const QWidget* panel = indicator.parentWidget();
    if (panel == nullptr)
        return;
    const int room = std::max(formWidth, panel->width() - indicator.x());
    QFont face = panel->font();
    while (QFontMetrics(face).horizontalAdvance(indicator.text()) > room &&
           face.pointSizeF() - INDICATOR_POINT_STEP >= SMALLEST_INDICATOR_POINT_SIZE)
        face.setPointSizeF(face.pointSizeF() - INDICATOR_POINT_STEP);
    if (indicator.font() != face)
        indicator.setFont(face);
    const int width = std::clamp(QFontMetrics(face).horizontalAdvance(indicator.text()), formWidth, room);
    if (width != indicator.width())
        indicator.resize(width, indicator.height());
}

} // namespace

CControllerDlg::CControllerDlg(IFileChooser* fileChooser, ISettingsStore* settings)
    : form(std::make_unique<Ui::ControllerDlg>()), fileChooser(fileChooser), settings(settings)
{
    InitPanelResources();
    form->setupUi(this);
    // Outside Windows the form's face is missing; a face with Arial's
    // metrics, close to it, keeps the texts within the fields laid out for it.
    QStringList families;
    for (const char* family : PANEL_FONT_FAMILIES)
        families.append(QString::fromLatin1(family));
    QFont panelFont = font();
    panelFont.setFamilies(families);
    setFont(panelFont);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    icon.addFile(QStringLiteral(":/res/icon_32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/res/icon_16.png"), QSize(16, 16));
    machineState = new CMachineState(this);
    if (this->fileChooser == nullptr) {
        ownFileChooser = std::make_unique<CFileChooser>();
        this->fileChooser = ownFileChooser.get();
    }
    if (this->settings == nullptr) {
        ownSettings = std::make_unique<CSettingsStore>();
        this->settings = ownSettings.get();
    }
    OnInitDialog();
}

CControllerDlg::~CControllerDlg()
{
    // Its background build reads the loader's words.
    RemoveStepObserver(toolpathWindow);
    delete toolpathWindow;
    toolpathWindow = nullptr;
    // The cursor refers to all three, so it goes first. The loader does not
    // touch the editor while it is destroyed.
    delete cursor;
    cursor = nullptr;
    delete editor;
    editor = nullptr;
    delete loader;
    loader = nullptr;
    delete machineState;
    machineState = nullptr;
}

void CControllerDlg::OnInitDialog()
{
    RestorePosition();
    ShowPictures();
    CreateEditor();
    CreateProgram();
    CreateToolpathWindow();
    CollectControls();
    FillRunToCombo();
    ConnectCommands();
    cursor->SyncRunToCombo();
    machineState->UpdateDisplay();
}

void CControllerDlg::RestorePosition()
{
    int x = DEFAULT_POSITION;
    int y = DEFAULT_POSITION;
    ReadSettingInt(*settings, SETTINGS_KEY, START_X, x);
    ReadSettingInt(*settings, SETTINGS_KEY, START_Y, y);
    move(x, y);
    ApplyOuterSize();
}

void CControllerDlg::ShowPictures()
{
    setWindowIcon(icon);
    hiddenButton = form->buttonLoaded;
    const QPixmap bitmap(QStringLiteral(":/res/default_bmp.png"));
    if (!bitmap.isNull()) {
        hiddenButton->setIconSize(QSize(HIDDEN_BITMAP_SIZE, HIDDEN_BITMAP_SIZE));
        hiddenButton->setIcon(QIcon(bitmap.scaled(HIDDEN_BITMAP_SIZE, HIDDEN_BITMAP_SIZE)));
    }
}

void CControllerDlg::CreateEditor()
{
    lineIndicator = form->lineIndicator;
    indicatorWidth = lineIndicator->width();
    editor = new CCncEditBoxCtrl();
    editor->Create(EDITOR_RECT, this, IDC_EDITOR);
    setTabOrder(form->runToCombo, editor);
    // The cursor exists by the time the editor first reports a click.
    connect(editor, &CCncEditBoxCtrl::FunctionKeyPressed, this, &CControllerDlg::OnEditorFunctionKey);
    connect(editor, &CCncEditBoxCtrl::LineClickStarting, this, [this] { cursor->OnBrowse(); });
    connect(editor, &CCncEditBoxCtrl::LineClicked, this, &CControllerDlg::OnEditorLineClicked);
    connect(editor, &CCncEditBoxCtrl::ToolTipRequested, this, &CControllerDlg::OnEditorToolTip);
    connect(editor, &CCncEditBoxCtrl::SelectionChanged, this, &CControllerDlg::UpdateLineIndicator);
    connect(editor, &CCncEditBoxCtrl::RepaintRequested, this, &CControllerDlg::RepaintNow);
}

void CControllerDlg::CreateProgram()
{
    loader = new CCncProgram(editor, *this, *settings);
    cursor = new CProgramCursor(*loader, *machineState, editor, *this);
}

void CControllerDlg::CreateToolpathWindow()
{
    toolpathWindow = new CToolpathWindow(*settings, this, editor);
    AddStepObserver(toolpathWindow);
    // The command keys in the other windows, whichever control has the focus.
    keyRouter = new CFunctionKeyRouter(this);
    keyRouter->AddWindow(toolpathWindow);
    connect(keyRouter, &CFunctionKeyRouter::FunctionKeyPressed, this, &CControllerDlg::OnEditorFunctionKey);
    connect(toolpathWindow, &CToolpathWindow::BlockClicked, this, &CControllerDlg::OnPathBlockClicked);
    connect(toolpathWindow, &CToolpathWindow::StepBackRequested, this, &CControllerDlg::OnStepBack);
    connect(toolpathWindow, &CToolpathWindow::NextWordRequested, this, &CControllerDlg::OnNextWord);
    connect(toolpathWindow, &CToolpathWindow::RunToRequested, this, &CControllerDlg::OnRunTo);
}

void CControllerDlg::CollectControls()
{
    for (QWidget* control : findChildren<QWidget*>()) {
        const QVariant id = control->property(CONTROL_ID_PROPERTY);
        if (id.isValid() && id.toInt() != -1) {
            PanelControl& entry = controls[id.toInt()];
            entry.widget = control;
            entry.showsText = ShowsText(control);
        }
    }
    for (const auto& [id, control] : controls) {
        if (const char* text = ToolTipText(id))
            control.widget->setToolTip(QString::fromLatin1(text));
    }
}

void CControllerDlg::FillRunToCombo()
{
    QComboBox* combo = form->runToCombo;
    combo->clear();
    for (std::size_t index = 0; index < RunToModeCount(); ++index)
        combo->addItem(Cp1252ToQString(FindRunToMode(static_cast<int>(index))->comboText));
    // Only choosing an item changes the stopping point: no completion, and
    // the combo box must not pick the item whose text was typed when its
    // edit field loses the focus or takes Enter.
    combo->setCompleter(nullptr);
    QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
}

void CControllerDlg::ConnectCommands()
{
    connect(form->buttonDone, &QPushButton::clicked, this, &QDialog::accept);
    connect(form->buttonLoad, &QPushButton::clicked, this, &CControllerDlg::OnLoad);
    connect(form->buttonLoaded, &QPushButton::clicked, this, &CControllerDlg::OnLoad);
    connect(form->buttonNextWord, &QPushButton::clicked, this, &CControllerDlg::OnNextWord);
    connect(form->buttonReset, &QPushButton::clicked, this, &CControllerDlg::OnReset);
    connect(form->buttonJumpToActual, &QPushButton::clicked, this, &CControllerDlg::OnJumpToActual);
    connect(form->buttonRunTo, &QPushButton::clicked, this, &CControllerDlg::OnRunTo);
    connect(form->buttonPath, &QPushButton::clicked, this, &CControllerDlg::OnTogglePath);
    connect(form->runToCombo, &QComboBox::activated, this, &CControllerDlg::OnRunToModeChanged);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CControllerDlg::OnHelp);
}

bool CControllerDlg::SetControlText(int controlId, const std::string& text)
{
    const auto found = controls.find(controlId);
    if (found == controls.end() || !found->second.showsText)
        return false;
    found->second.pendingText = text;
    found->second.pending = true;
    if (commandDepth == 0)
        FlushControlTexts();
    return true;
}

void CControllerDlg::FlushControlTexts()
{
    for (auto& [id, control] : controls) {
        if (!control.pending)
            continue;
        control.pending = false;
        const QString converted = Cp1252ToQString(control.pendingText);
        if (auto* label = qobject_cast<QLabel*>(control.widget))
            label->setText(converted);
        else if (auto* button = qobject_cast<QAbstractButton*>(control.widget))
            button->setText(converted);
        else if (auto* group = qobject_cast<QGroupBox*>(control.widget))
            group->setTitle(converted);
        else if (auto* combo = qobject_cast<QComboBox*>(control.widget))
            combo->setEditText(converted);
    }
}

int CControllerDlg::GetRunToSelection() { return form->runToCombo->currentIndex(); }

void CControllerDlg::SetRunToSelection(int index)
{
    // Setting the selection is not choosing an item.
    const QSignalBlocker blocker(form->runToCombo);
    form->runToCombo->setCurrentIndex(index);
}

QWidget* CControllerDlg::GetDlgItem(int controlId) const
{
    const auto found = controls.find(controlId);
    return found == controls.end() ? nullptr : found->second.widget;
}

void CControllerDlg::OnLoad()
{
    stepObservers.NotifyProgramChanging();
    RunStep(&CProgramCursor::OnLoad, STEP_LOAD);
}

void CControllerDlg::OnReset() { RunStep(&CProgramCursor::OnReset, STEP_RESET); }

void CControllerDlg::OnJumpToActual() { RunStep(&CProgramCursor::OnJumpToActual, STEP_ACTUAL_WORD); }

void CControllerDlg::OnNextWord() { RunStep(&CProgramCursor::OnNextWord, STEP_NEXT_WORD); }

void CControllerDlg::OnRunTo() { RunStep(&CProgramCursor::OnRunTo, STEP_RUN_TO); }

void CControllerDlg::OnStepBack() { RunStep(&CProgramCursor::OnStepBack, STEP_BACK); }

void CControllerDlg::OnRunToModeChanged() { RunCommand(&CProgramCursor::OnRunToModeChanged); }

void CControllerDlg::RunCommand(void (CProgramCursor::*command)())
{
    // A run through millions of words changes X, Y and Z with nearly every
    // block; the widgets take only the texts that stand when it returns.
    ++commandDepth;
    (cursor->*command)();
    --commandDepth;
    if (commandDepth == 0)
        FlushControlTexts();
}

std::vector<QString> CControllerDlg::ReadOutTexts() const
{
    std::vector<QString> texts;
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line) {
        const auto* label = qobject_cast<const QLabel*>(GetDlgItem(StateLineControlId(line)));
        texts.push_back(label != nullptr ? label->text() : QString());
    }
    return texts;
}

void CControllerDlg::MarkChangedReadOuts(const std::vector<QString>& before)
{
    const std::vector<QString> now = ReadOutTexts();
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line) {
        auto* label = qobject_cast<QLabel*>(GetDlgItem(StateLineControlId(line)));
        if (label == nullptr)
            continue;
        const bool marked = line < before.size() && now[line] != before[line];
        if (label->property(MARKED_PROPERTY).toBool() == marked)
            continue;
        label->setProperty(MARKED_PROPERTY, marked);
        // Colour and underline, not bold: a bolder face would need more room
        // than the fields of the form give the longest keywords.
        QFont face = label->font();
        face.setUnderline(marked);
        label->setFont(face);
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, marked ? palette().color(QPalette::Highlight)
                                                      : palette().color(QPalette::WindowText));
        label->setPalette(colours);
    }
}

bool CControllerDlg::IsReadOutMarked(int controlId) const
{
    const QWidget* control = GetDlgItem(controlId);
    return control != nullptr && control->property(MARKED_PROPERTY).toBool();
}

void CControllerDlg::RunStep(void (CProgramCursor::*command)(), StepCommand step)
{
    const std::vector<QString> before = ReadOutTexts();
    RunCommand(command);
    MarkChangedReadOuts(before);
    stepObservers.NotifyStepped(step, *cursor, *machineState);
}

void CControllerDlg::OnEditorFunctionKey(CCncEditBoxCtrl::FunctionKey key)
{
    for (const KeyCommand& keyCommand : KEY_COMMANDS) {
        if (keyCommand.key == key)
            (this->*keyCommand.command)();
    }
}

void CControllerDlg::OnPathBlockClicked(qulonglong firstWord)
{
    const CWordList* words = cursor->GetWordList();
    if (words == nullptr || firstWord >= words->GetCount())
        return;
    std::int32_t start = 0;
    std::int32_t end = 0;
    words->GetSpan(static_cast<WordPosition>(firstWord), start, end);
    editor->ClickAt(start);
    // The keys go back to the program view, so that F8 returns at once.
    activateWindow();
    editor->setFocus(Qt::MouseFocusReason);
}

void CControllerDlg::OnTogglePath() { toolpathWindow->Toggle(); }

QString CControllerDlg::GetWordExplanation(int listingPosition) const
{
    const CWordList& words = loader->GetWordList();
    const WordPosition word = words.FindAt(listingPosition);
    if (word == CWordList::NO_POSITION)
        return QString();
    return Cp1252ToQString(ExplainWordAt(words, word));
}

void CControllerDlg::OnEditorToolTip(int listingPosition, const QPoint& globalPosition)
{
    const QString explanation = GetWordExplanation(listingPosition);
    if (explanation.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(globalPosition, explanation, editor);
}

void CControllerDlg::OnEditorLineClicked()
{
    // Browsing changes no read-out: the marks of the last command go.
    MarkChangedReadOuts(ReadOutTexts());
    stepObservers.NotifyStepped(STEP_LINE_CLICK, *cursor, *machineState);
}

void CControllerDlg::UpdateLineIndicator()
{
    lineIndicator->setText(QString::number(editor->GetCaretLine() + 1) + QLatin1Char('/') +
                           QString::number(editor->GetLineCount()));
    FitIndicator(*lineIndicator, indicatorWidth);
}

void CControllerDlg::RepaintNow()
{
    FlushControlTexts();
    repaint();
}

bool CControllerDlg::ChooseFile(const std::string& initialName, std::string& chosenPath)
{
    FlushControlTexts();
    return fileChooser->ChooseFile(initialName, chosenPath);
}

void CControllerDlg::OnHelp()
{
    if (helpWindow == nullptr) {
        helpWindow = new CHelpWindow(this);
        keyRouter->AddWindow(helpWindow);
        helpWindow->show();
        FitWindowIntoScreen(*helpWindow);
    }
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}

void CControllerDlg::done(int result)
{
    OnDestroy();
    QDialog::done(result);
}

void CControllerDlg::OnDestroy()
{
    const QPoint topLeft = frameGeometry().topLeft();
    WriteSettingInt(*settings, SETTINGS_KEY, START_X, topLeft.x());
    WriteSettingInt(*settings, SETTINGS_KEY, START_Y, topLeft.y());
    toolpathWindow->SaveToSettings();
    toolpathWindow->hide();
    if (helpWindow != nullptr)
        helpWindow->close();
}

void CControllerDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The window frame is known only once the window exists.
    ApplyOuterSize();
    // Beside the panel, so only once the panel stands where it opens.
    if (!toolpathPlaced) {
        toolpathPlaced = true;
        toolpathWindow->RestoreFromSettings();
    }
}

void CControllerDlg::ApplyOuterSize()
{
    QWindow* window = windowHandle();
    if (window == nullptr) {
        setFixedSize(OUTER_WIDTH, OUTER_HEIGHT);
        return;
    }
    const QPoint position = pos();
    const QMargins frame = window->frameMargins();
    setFixedSize(OUTER_WIDTH - frame.left() - frame.right(), OUTER_HEIGHT - frame.top() - frame.bottom());
    // Resizing may move the frame (some platforms keep the client area on
    // the screen); the stored position is kept as it is, on screen or not.
    window->setFramePosition(position);
}

void CControllerDlg::paintEvent(QPaintEvent* event)
{
    if (!isMinimized()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize);
    const int x = (width() - iconSize + 1) / 2;
    const int y = (height() - iconSize + 1) / 2;
    painter.drawPixmap(x, y, icon.pixmap(iconSize, iconSize));
}
