#pragma once
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "core/App.h"
#include "commands/GradeCommands.h"
#include "commands/Host.h"
#include "engine/PreviewLevels.h"
#include "ui/MapHistory.h"
#include "ui/PreviewWork.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QMimeData;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;

namespace morv {

class FrmAbout;
class FrmCalcImgSize;
class FrmFitBoards;
class FrmGradeTrack;
class FrmLevelSite;
class FrmMapScale;
class FrmImport;
class FrmLevels;
class FrmExportAsset;
class FrmOverWrite;
class FrmPicture;

/// The mountains mode a mountains check box's caption shows.
MountainMode mountainModeOf(const QCheckBox* box);
/// The valleys mode a valleys check box's caption shows.
ValleyMode valleyModeOf(const QCheckBox* box);

/// The main window: menus, the two tool panels, the status bar and the picture
/// window inside its document area. It keeps the state the commands read in its
/// widgets and carries out their effects (the Host side); the commands themselves
/// live in the library.
class FrmMain : public QMainWindow, public Workspace, public Activity, public PictureFrame {
public:
    /// Builds the window and runs its load handler (MDIForm_Load).
    explicit FrmMain(App& app, QWidget* parent = nullptr);
    ~FrmMain() override;

    // Workspace: what the commands read and load.
    App& app() override { return m_app; }
    Document& document() override { return m_doc; }
    TerrainControls controls() const override;
    std::shared_ptr<HeightImage> loadPicture(const std::string& path) override;
    // Activity: the busy state and the status bar.
    void setControlsEnabled(bool CtrlEnabled) override;
    void setWaitCursor(bool on) override;
    void setStatus(const std::string& text) override;
    void setProgress(const std::string& text, int percent) override;
    void doEvents() override;
    // PictureFrame: the widgets the commands change and the picture window.
    void setShowContours(bool ticked) override;
    void setContourVisible(bool visible) override;
    void setPictureCaption(const std::string& caption) override;
    void refreshPicture() override;
    bool saveEnabled() const override;
    void setSaveEnabled(bool enabled) override;
    /// Assigns the ground level bar; a value outside 0..255 is refused with error 380.
    void setGroundLevelValue(int value) override;
    void beep() override;
    void setToolbarsVisible(bool visible) override;
    void fitSliders() override;
    void showPictureWindow() override;
    void unloadPictureWindow() override;
    void setSaveAsCloseEnabled(bool enabled) override;
    void focusGroundLevel() override;
    void setScaleUp(bool on) override;
    OverwriteAnswer askOverwrite() override;
    /// Shows the 16-bit levels dialog; the range typed there, nothing on Cancel.
    std::optional<SampleRange> askLevelRange(const LevelMapping& mapping) override;
    /// Shows the Export Asset dialog with the remembered user id; the choice, nothing on Cancel.
    std::optional<AssetChoice> askAsset(const AssetChoice& offered) override;

    /// Shows the window; when the command line named a map (the current image path
    /// is set), opens it as soon as the window is up, as a dropped file opens.
    void showAtStart();
    /// The smallest size the frame keeps: 1024 x 768 pixels, or the room the screen
    /// has for the window (its frame taken off) where that is less.
    QSize frameMinimum() const;

    /// The picture window while an image is open, else null.
    FrmPicture* picture() const;
    /// The last answer of the overwrite dialog ("6", "7", "2"; "" before the first).
    const std::string& overwriteAnswer() const { return m_overwriteAnswer; }

    /// Shows the overwrite dialog modally; replaceable so a test can act on the
    /// dialog as a user would. The default runs the dialog's own event loop.
    std::function<void(FrmOverWrite&)> showOverWriteModally;
    /// Shows the size calculator modally; replaceable so a test can type and press
    /// Calculate. The default runs the window's own event loop.
    std::function<void(FrmCalcImgSize&)> showCalcImgSizeModally;
    /// Shows the elevation import window modally; replaceable like the others.
    std::function<void(FrmImport&)> showImportModally;
    /// Shows the about window modally; replaceable like the others.
    std::function<void(FrmAbout&)> showAboutModally;
    /// Shows the Fit to Boards dialog modally; returns its result (QDialog::Accepted
    /// or Rejected). Replaceable like the others.
    std::function<int(FrmFitBoards&)> showFitBoardsModally;
    /// Shows the 16-bit levels dialog modally; returns its result. Replaceable.
    std::function<int(FrmLevels&)> showLevelsModally;
    /// Shows the Export Asset dialog modally; returns its result. Replaceable.
    std::function<int(FrmExportAsset&)> showExportAssetModally;
    /// Shows View > Map Scale's dialog modally; returns its result. Replaceable.
    std::function<int(FrmMapScale&)> showMapScaleModally;
    /// Shows Tools > Level Site's dialog modally; returns its result. Replaceable.
    std::function<int(FrmLevelSite&)> showLevelSiteModally;
    /// Shows Tools > Grade Track's dialog modally; returns its result. Replaceable.
    std::function<int(FrmGradeTrack&)> showGradeTrackModally;
    /// The size calculator while it is shown, else null.
    FrmCalcImgSize* calcImgSize() const;
    /// Runs after every yield of a long operation (tests press keys there).
    std::function<void()> afterYield;
    /// Runs with every text written to the status bar.
    std::function<void(const std::string&)> statusWritten;
    /// Runs when a running operation is about to re-read its picture file (tests
    /// look at the window there).
    std::function<void()> beforeReread;
    /// Runs on the interface thread while a picture file is being read by the
    /// worker, after each time events were let run (tests press keys there).
    std::function<void()> whileReading;
    /// Reads a picture file for loadPicture; runs on the worker. Replaceable so a
    /// test can hold the read until it has acted.
    std::function<std::shared_ptr<HeightImage>(const std::string& path)> readPictureFile;

    /// The undo history of the open map.
    const MapHistory& history() const { return m_history; }
    /// The grey level table the picture shows as a preview, none when it shows the map.
    const std::optional<LevelTable>& previewShown() const { return m_previewShown; }
    /// Runs on the interface thread each time the preview's blur and contours,
    /// worked out on the side, come to show (tests wait on it).
    std::function<void()> previewPatchShown;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// The height image a drag carries: one local file with a readable extension
    /// (readableExtensions()), while File > Open is usable; "" otherwise.
    std::string droppableFile(const QMimeData* data) const;
    // Widget building (FrmMainUi.cpp).
    void setupUi();
    void buildMenus();
    void buildMainToolbar();
    void buildScrollToolbar();
    void buildStatusbar();
    void connectHandlers();
    /// Reads a picture file on a worker while the window goes on serving events.
    std::shared_ptr<HeightImage> readWhileServing(const std::string& path);
    /// The picture window, made on first use (hidden until shown).
    FrmPicture* ensurePicture();
    /// True when key is the shortcut of a usable File menu entry.
    bool isMenuShortcut(const QKeyEvent* key) const;
    /// Lets a toolbar button left pressed by a swallowed mouse release come back up.
    void releaseStuckButtons();

    // Frame (FrmMain.cpp).
    void MDIForm_Load();
    void MDIForm_Resize();
    void tmrResize_Timer();
    void MDIForm_MouseMove();
    void mnuFileQuit_Click();
    void mnuToolsCalcImgSize_Click();
    void mnuToolsImport_Click();
    void mnuToolsFitBoards_Click();
    void mnuAbout_Click();
    void mnuMakeDLFiles_Click();
    void mnuOptionsOverwrite_Click();
    void mnuOptionsBoardGrid_Click();

    // Edit and View menus (FrmMainView.cpp).
    void buildEditViewMenus();
    void connectEditViewHandlers();
    /// Runs a command that may change the map in memory as one step of the undo
    /// history; packs the pictures named first, so only what changed is kept.
    void recorded(const char* label, bool pictures, const std::function<void()>& command);
    MapState currentState() const;
    void restoreState(const MapState& state);
    /// Forgets the history when the open map is another than the one it knows.
    void checkHistory();
    void rememberPlace();
    void updateUndoMenu();
    void mnuEditUndo_Click();
    void mnuEditRedo_Click();
    void mnuViewBoardGrid_Click();
    void mnuViewShaded_Click();
    void mnuViewLivePreview_Click();
    /// Shows the settings' effect on the picture while Live Preview is on (and the
    /// original is not asked for), the map as it is otherwise.
    void updatePreview();
    /// The map the preview is made from: the file's map kept in memory, or the map.
    std::shared_ptr<HeightImage> previewSource();
    /// Starts working out the blur and contours of the preview for what the picture
    /// window shows now, unless that is under way or shown already.
    void schedulePatch();
    void showPatch(std::uint64_t id, PreviewPatchPixels pixels);
    /// After an open: the history of the map before goes, and a map that opened
    /// fitted says its scale (before: the height picture shown until then).
    void afterOpen(const HeightImage* before);
    /// Opens a map fitted to the window when it would not fit at one to one.
    void fitLargeMap();
    void MDIForm_OLEDragDrop(const std::string& path);
    void openCommandLineImage(const std::string& path);
    void followScreen();

    // Map scale, selection, measuring, levelling and grading (FrmMainGround.cpp).
    void buildGroundMenus();
    void connectGroundHandlers();
    /// The entries that work on the open map's ground.
    std::vector<QAction*> groundActions() const;
    /// Gives a new picture window's tool layer the chosen tool and its handlers.
    void attachGroundTools();
    void chooseGroundTool();
    void mnuViewMapScale_Click();
    void mnuToolsLevelSite_Click();
    void mnuToolsGradeTrack_Click();
    /// Shows the drawn track graded with the last choices while its points move.
    void previewTrack();
    /// The Grade Track dialog for the track Enter ended.
    void gradeDrawnTrack();

    // Terrain settings, ground level and blur (FrmMainTerrain.cpp).
    void chkFlatten_Click();
    void chkFill_Click();
    void chkFlatten_MouseDown(Qt::MouseButton button);
    void chkFill_MouseDown(Qt::MouseButton button);
    void vsbMountains_Scroll(int value);
    void vsbMountains_Change();
    void vsbValleys_Scroll(int value);
    void vsbValleys_Change();
    void cmdScale_Click();
    void noTerrainCheck();
    void vsbGroundLevel_Change();
    void txtGroundLevel_GotFocus();
    bool txtGroundLevel_KeyPress(int key);
    void txtGroundLevel_LostFocus();
    void chkShowCoast_Click();
    void hsbBlur_Change();
    void hsbBlur_Scroll(int value);
    void applyBlurCaption(int value);

    // Commands (FrmMainCommands.cpp): the buttons and the File menu.
    void cmdRedraw_Click();
    void cmdCalcCL_Click();
    void cmdGetHighLowColor_Click();
    void cmdNewCoast_Click();
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    void mnuFileClose_Click();
    void mnuFileExportAsset_Click();

    App& m_app;
    Document m_doc;
    std::string m_overwriteAnswer;
    QPointer<FrmPicture> m_picture;
    QPointer<FrmCalcImgSize> m_calcImgSize;
    bool m_waitCursor = false;
    bool m_selectOnRelease = false;
    /// Sends every key to the picture window while an operation runs.
    std::unique_ptr<QObject> m_keyPreview;
    /// Shows the original while Space is held with Live Preview on.
    std::unique_ptr<QObject> m_spaceHold;

    MapHistory m_history;
    // Where the history left the pictures: another picture or commit there means
    // the map changed outside it.
    const HeightImage* m_placeDisp = nullptr;
    const HeightImage* m_placeDispCL = nullptr;
    std::uint64_t m_placeCommits = 0;
    std::uint64_t m_placeCommitsCL = 0;
    bool m_recording = false;
    // While a recorded command runs: the map as it started, packed for its undo
    // step, and which picture and commit that was.
    std::shared_ptr<const PackedPicture> m_packedBefore;
    const HeightImage* m_packedImage = nullptr;
    std::uint64_t m_packedCommits = 0;
    // The level counts of the map the preview is made from, and which map that was.
    LevelCounts m_counts{};
    const HeightImage* m_countedImage = nullptr;
    std::uint64_t m_countedCommits = ~std::uint64_t(0);
    std::optional<LevelTable> m_previewShown;
    /// The map as its file holds it, kept for the preview while Live Preview is on
    /// (Redraw starts from it), or null.
    std::shared_ptr<HeightImage> m_asRead;
    bool m_showOriginalHeld = false;
    /// What the blur and contours of the preview were last asked for; a change of
    /// anything but the part shown drops the patch shown.
    struct PatchKey {
        const HeightImage* source = nullptr;
        std::uint64_t commits = 0;
        LevelTable table{};
        int amount = 0;
        bool contours = false;
        Colour ground = 0;
        double scale = 0;
        QRect keep;
        bool sameLook(const PatchKey& o) const {
            return source == o.source && commits == o.commits && table == o.table && amount == o.amount &&
                   contours == o.contours && ground == o.ground && scale == o.scale;
        }
    };
    std::optional<PatchKey> m_patchKey;
    std::uint64_t m_patchJob = 0;
    bool m_patchPending = false;
    std::unique_ptr<PreviewWork> m_previewWork;

    QMdiArea* m_mdi = nullptr;
    QTimer* tmrResize = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuFileSaveAs = nullptr;
    QAction* mnuFileClose = nullptr;
    QAction* mnuFileExportAsset = nullptr;
    QAction* mnuFileQuit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditUndo = nullptr;
    QAction* mnuEditRedo = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuViewZoomFit = nullptr;
    QAction* mnuViewActualSize = nullptr;
    QAction* mnuViewZoomIn = nullptr;
    QAction* mnuViewZoomOut = nullptr;
    QAction* mnuViewShaded = nullptr;
    QAction* mnuViewBoardGrid = nullptr;
    QAction* mnuViewLivePreview = nullptr;
    QAction* mnuViewShowOriginal = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuToolsCalcImgSize = nullptr;
    QAction* mnuToolsImport = nullptr;
    QAction* mnuToolsFitBoards = nullptr;
    QAction* mnuToolsSelectRect = nullptr;
    QAction* mnuToolsSelectPolygon = nullptr;
    QAction* mnuToolsMeasure = nullptr;
    QAction* mnuToolsLevelSite = nullptr;
    QAction* mnuToolsGradeTrack = nullptr;
    QActionGroup* m_groundTools = nullptr;
    QAction* mnuViewMapScale = nullptr;
    /// What the last Grade Track asked for: the next one starts from it.
    GradeRequest m_lastGrade;
    QMenu* mnuOptions = nullptr;
    QAction* mnuOptionsOverwrite = nullptr;
    QAction* mnuOptionsBoardGrid = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuMakeDLFiles = nullptr;

    QWidget* picMainToolbar = nullptr;
    QPushButton* cmdCalcCL = nullptr;
    QPushButton* cmdScale = nullptr;
    QLineEdit* txtGroundLevel = nullptr;
    QLineEdit* Text1 = nullptr;
    QCheckBox* chkShowCoast = nullptr;
    QScrollBar* vsbGroundLevel = nullptr;
    QPushButton* cmdRedraw = nullptr;
    QCheckBox* chkFlatten = nullptr;
    QCheckBox* chkFill = nullptr;
    QPushButton* cmdGetHighLowColor = nullptr;
    QPushButton* cmdNewCoast = nullptr;
    QCheckBox* chkAutoContLine = nullptr;
    QScrollBar* hsbBlur = nullptr;
    QCheckBox* chkBlur = nullptr;

    QWidget* picScrollToolbar = nullptr;
    QScrollBar* vsbValleys = nullptr;
    QScrollBar* vsbMountains = nullptr;

    QWidget* picStatusbar = nullptr;
    QLabel* lblStatusbar = nullptr;
};

}  // namespace morv
