// The main window's widgets: the menus, the two tool panels and the status bar,
// laid out once when the window is made. Behaviour lives in FrmMain.cpp and the
// FrmMain*.cpp files beside it.
#include "ui/FrmMain.h"
#include "ui/FlowLayout.h"
#include "ui/FrmPicture.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace morv {

namespace {

QPushButton* button(QWidget* parent, const char* name, const char* caption, const char* tip) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setToolTip(QString::fromUtf8(tip));
    b->setAutoDefault(false);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, const char* tip) {
    auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
    c->setObjectName(QString::fromUtf8(name));
    c->setToolTip(QString::fromUtf8(tip));
    return c;
}

/// Names and ranges s, a scroll bar whose Change event comes only when the value
/// settles (a drag ends), with the thumb's movement reported separately as its
/// Scroll event.
QScrollBar* setUpBar(QScrollBar* s, const char* name, int lo, int hi, int small, int large, int value) {
    s->setObjectName(QString::fromUtf8(name));
    s->setRange(lo, hi);
    s->setSingleStep(small);
    s->setPageStep(large);
    s->setValue(value);
    s->setTracking(false);
    return s;
}

/// Such a scroll bar, new, in parent.
QScrollBar* scrollBar(QWidget* parent, const char* name, Qt::Orientation o, int lo, int hi, int small, int large, int value) {
    return setUpBar(new QScrollBar(o, parent), name, lo, hi, small, large, value);
}

/// A vertical scroll bar whose top end is its maximum (the ground level bar, the
/// valleys bar). Every way of moving it goes the way it points: the up arrow, a
/// click in the trough above the thumb, the Up and Page Up keys and the wheel turned
/// up all raise the value, and the thumb follows.
class RisingScrollBar : public QScrollBar {
public:
    explicit RisingScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
        setInvertedAppearance(true);
        // Keys and the wheel: Up means a higher value once the bar stands upside down.
        setInvertedControls(false);
        connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) { reverseMouseStep(action); });
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        m_byMouse = true;
        QScrollBar::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QScrollBar::mouseReleaseEvent(e);
        m_byMouse = false;
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        m_byMouse = true;
        QScrollBar::contextMenuEvent(e);
        m_byMouse = false;
    }

private:
    /// The arrows, the trough and the context menu name their steps by screen
    /// position (the top arrow steps towards the minimum): turn them round.
    void reverseMouseStep(int action) {
        if (!m_byMouse) return;
        switch (action) {
        case SliderSingleStepAdd: setSliderPosition(value() - singleStep()); break;
        case SliderSingleStepSub: setSliderPosition(value() + singleStep()); break;
        case SliderPageStepAdd: setSliderPosition(value() - pageStep()); break;
        case SliderPageStepSub: setSliderPosition(value() + pageStep()); break;
        case SliderToMinimum: setSliderPosition(maximum()); break;
        case SliderToMaximum: setSliderPosition(minimum()); break;
        default: break;
        }
    }
    bool m_byMouse = false;
};

/// A scroll bar as scrollBar() makes it, standing upside down: its maximum at the top.
QScrollBar* risingScrollBar(QWidget* parent, const char* name, int lo, int hi, int small, int large, int value) {
    return setUpBar(new RisingScrollBar(parent), name, lo, hi, small, large, value);
}

/// Keeps a check box wide enough for the longest caption it will be given.
void reserveWidthFor(QCheckBox* box, const QString& longest) {
    const QString caption = box->text();
    box->ensurePolished();
    box->setText(longest);
    box->setMinimumWidth(box->sizeHint().width());
    box->setText(caption);
}

}  // namespace

/// Builds the widgets, names them as the commands and tests know them, and lays
/// out the menus, the tool panels, the document area and the status bar.
void FrmMain::setupUi() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    buildMenus();
    buildMainToolbar();
    buildScrollToolbar();
    buildStatusbar();
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->viewport()->setMouseTracking(true);
    m_mdi->viewport()->installEventFilter(this);
    picMainToolbar->setParent(central);
    picScrollToolbar->setParent(central);
    picStatusbar->setParent(central);
    grid->addWidget(picMainToolbar, 0, 0, 1, 2);
    grid->addWidget(picScrollToolbar, 1, 0);
    grid->addWidget(m_mdi, 1, 1);
    grid->addWidget(picStatusbar, 2, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    setCentralWidget(central);
}

void FrmMain::buildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto entry = [](QMenu* menu, const char* name, const char* caption, QKeySequence key = {}) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        if (!key.isEmpty()) a->setShortcut(key);
        return a;
    };
    mnuFileOpen = entry(mnuFile, "mnuFileOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFileSave = entry(mnuFile, "mnuFileSave", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFileSaveAs = entry(mnuFile, "mnuFileSaveAs", "Save &As", QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuFileExportAsset = entry(mnuFile, "mnuFileExportAsset", "&Export Asset...");
    mnuFileClose = entry(mnuFile, "mnuFileClose", "&Close");
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSep1"));
    mnuFileQuit = entry(mnuFile, "mnuFileQuit", "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q));

    buildEditViewMenus();

    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuToolsCalcImgSize = entry(mnuTools, "mnuToolsCalcImgSize", "Calc Img Size");
    mnuToolsImport = entry(mnuTools, "mnuToolsImport", "&Import Elevation Data...");
    mnuToolsFitBoards = entry(mnuTools, "mnuToolsFitBoards", "&Fit to Boards...");
    buildGroundMenus();

    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptionsOverwrite = entry(mnuOptions, "mnuOptionsOverwrite", "OverWrite &Notification");
    mnuOptionsOverwrite->setCheckable(true);
    mnuOptionsOverwrite->setChecked(true);
    // Lines where the base boards fall; off at start, kept for the run.
    mnuOptionsBoardGrid = entry(mnuOptions, "mnuOptionsBoardGrid", "Show Board Grid");
    mnuOptionsBoardGrid->setCheckable(true);
    mnuOptionsBoardGrid->setChecked(false);

    // "About" is an entry of the menu bar itself that opens its window when chosen.
    mnuAbout = menuBar()->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    mnuMakeDLFiles = menuBar()->addAction(QStringLiteral("Make DL Files"));
    mnuMakeDLFiles->setObjectName(QStringLiteral("mnuMakeDLFiles"));

}

void FrmMain::buildMainToolbar() {
    picMainToolbar = new QWidget(this);
    picMainToolbar->setObjectName(QStringLiteral("picMainToolbar"));
    QWidget* p = picMainToolbar;

    cmdCalcCL = button(p, "cmdCalcCL", "&Calc Base",
                       "This will calculate the average color along the conture lines and reset the ground level.");
    cmdScale = button(p, "cmdScale", "Scale &Up Mountains", "Select this option if you want the mountains scaled up to 255");
    cmdScale->setProperty("Tag", QStringLiteral("False"));
    // Wide enough for its bold caption from the start, so turning Scale Up on does
    // not push the rest of the toolbar along.
    {
        cmdScale->ensurePolished();
        const QFont plain = cmdScale->font();
        QFont bold = plain;
        bold.setBold(true);
        cmdScale->setFont(bold);
        const int boldWidth = cmdScale->sizeHint().width();
        cmdScale->setFont(plain);
        cmdScale->setMinimumWidth(boldWidth);
    }

    txtGroundLevel = new QLineEdit(QStringLiteral("128"), p);
    txtGroundLevel->setObjectName(QStringLiteral("txtGroundLevel"));
    txtGroundLevel->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    Text1 = new QLineEdit(QStringLiteral("Ground &Level:"), p);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setFrame(false);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setMinimumWidth(fontMetrics().horizontalAdvance(Text1->text()) + 8);
    chkShowCoast = checkBox(p, "chkShowCoast", "&Show Contours", "Shows the Contour lines");
    // The top end of the bar is 255: moving the thumb up raises the level.
    vsbGroundLevel = risingScrollBar(p, "vsbGroundLevel", 0, 255, 1, 1, 128);

    cmdRedraw = button(p, "cmdRedraw", "&Redraw", "Draws the new image based on your settings.");
    cmdRedraw->setMinimumHeight(48);
    chkFlatten = checkBox(p, "chkFlatten", "Flatten &Mountains",
                          "Select this to flatten all mountains. Right-Click to toggle 'Flatten' or 'Lower'");
    chkFlatten->setProperty("Tag", QStringLiteral("Flatten"));
    chkFill = checkBox(p, "chkFill", "Fill in &Valleys", "Select this to fill in all valleys. Right-Click to toggle Fill or Invert");
    // Room for the longest caption a mode and value can give.
    reserveWidthFor(chkFlatten, QStringLiteral("Flatten Mountains by 100%"));
    reserveWidthFor(chkFill, QStringLiteral("Invert Valleys by 100%"));

    cmdGetHighLowColor = button(p, "cmdGetHighLowColor", "Get &High/Low Colors", "This calculates the highest and lowest colors used.");
    cmdNewCoast = button(p, "cmdNewCoast", "Make New Contours", "Draws contour lines at the base of mountains.");
    chkAutoContLine = checkBox(p, "chkAutoContLine", "Auto Draw Contoures",
                               "Check this option to automatically draw contour lines during the redraw");
    chkBlur = checkBox(p, "chkBlur", "Apply &Blur Effect - 0",
                       "Check this box to apply a blur with the ammount specified by the scrollbar below");
    reserveWidthFor(chkBlur, QStringLiteral("Apply Blur Effect - 48"));
    hsbBlur = scrollBar(p, "hsbBlur", Qt::Horizontal, 0, 48, 2, 16, 0);

    // Groups of controls side by side, wrapping onto more rows when the window is
    // narrower than all of them: every control stays in reach on a small screen.
    auto* flow = new FlowLayout(p, 8);
    flow->setContentsMargins(6, 4, 6, 4);
    auto group = [&](QLayout* inner) {
        auto* box = new QWidget(p);
        inner->setContentsMargins(0, 0, 0, 0);
        box->setLayout(inner);
        flow->addWidget(box);
        return box;
    };
    auto column = [&](std::initializer_list<QWidget*> widgets) {
        auto* col = new QVBoxLayout;
        col->setSpacing(2);
        for (QWidget* w : widgets) col->addWidget(w);
        return group(col);
    };
    column({cmdCalcCL, cmdScale});
    auto* level = new QGridLayout;
    level->setSpacing(2);
    level->addWidget(Text1, 0, 0);
    level->addWidget(txtGroundLevel, 0, 1);
    level->addWidget(chkShowCoast, 1, 0, 1, 2);
    level->addWidget(vsbGroundLevel, 0, 2, 2, 1);
    group(level);
    column({cmdRedraw});
    column({chkFlatten, chkFill});
    column({cmdGetHighLowColor, cmdNewCoast});
    column({chkAutoContLine});
    column({chkBlur, hsbBlur});
}

void FrmMain::buildScrollToolbar() {
    picScrollToolbar = new QWidget(this);
    picScrollToolbar->setObjectName(QStringLiteral("picScrollToolbar"));
    // The valleys bar reads 100 at its top end, the mountains bar 0.
    vsbValleys = risingScrollBar(picScrollToolbar, "vsbValleys", 0, 100, 5, 20, 100);
    vsbMountains = scrollBar(picScrollToolbar, "vsbMountains", Qt::Vertical, 0, 100, 5, 20, 0);
    auto* row = new QHBoxLayout(picScrollToolbar);
    // The sliders stand the panel's height less 3 pixels.
    row->setContentsMargins(2, 0, 2, 3);
    row->setSpacing(2);
    row->addWidget(vsbValleys);
    row->addWidget(vsbMountains);
}

void FrmMain::buildStatusbar() {
    picStatusbar = new QFrame(this);
    picStatusbar->setObjectName(QStringLiteral("picStatusbar"));
    static_cast<QFrame*>(picStatusbar)->setFrameShape(QFrame::StyledPanel);
    lblStatusbar = new QLabel(picStatusbar);
    lblStatusbar->setObjectName(QStringLiteral("lblStatusbar"));
    lblStatusbar->setFont(QFont(QStringLiteral("Arial")));
    lblStatusbar->setTextFormat(Qt::PlainText);
    auto* row = new QHBoxLayout(picStatusbar);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(lblStatusbar);
    lblStatusbar->setMinimumHeight(lblStatusbar->fontMetrics().height());
}

}  // namespace morv
