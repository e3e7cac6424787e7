// The main window's ground tools: the map's scale, selecting a site, measuring,
// levelling a site and grading a track drawn on the picture.
#include <QActionGroup>
#include <QMenu>

#include "commands/SiteCommands.h"
#include "core/Routine.h"
#include "engine/GroundMeasure.h"
#include "ui/FrmGradeTrack.h"
#include "ui/FrmLevelSite.h"
#include "ui/FrmMain.h"
#include "ui/FrmMapScale.h"
#include "ui/FrmPicture.h"
#include "ui/MapOverlay.h"

namespace morv {

namespace {

/// Shows a picture's own levels: a preview that is a whole other picture.
std::array<std::uint8_t, 256> sameLevels() {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) table[std::size_t(i)] = std::uint8_t(i);
    return table;
}

}  // namespace

void FrmMain::buildGroundMenus() {
    const auto entry = [](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        return a;
    };
    mnuView->addSeparator();
    mnuViewMapScale = entry(mnuView, "mnuViewMapScale", "&Map Scale...");
    mnuTools->addSeparator();
    mnuToolsSelectRect = entry(mnuTools, "mnuToolsSelectRect", "Select &Rectangle");
    mnuToolsSelectPolygon = entry(mnuTools, "mnuToolsSelectPolygon", "Select &Polygon");
    mnuToolsMeasure = entry(mnuTools, "mnuToolsMeasure", "&Measure");
    // One tool at a time, or none: choosing the one chosen puts it down.
    m_groundTools = new QActionGroup(this);
    m_groundTools->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {mnuToolsSelectRect, mnuToolsSelectPolygon, mnuToolsMeasure}) {
        a->setCheckable(true);
        m_groundTools->addAction(a);
    }
    mnuToolsLevelSite = entry(mnuTools, "mnuToolsLevelSite", "Level &Site...");
    mnuToolsGradeTrack = entry(mnuTools, "mnuToolsGradeTrack", "&Grade Track...");
    for (QAction* a : groundActions()) a->setEnabled(false);
}

std::vector<QAction*> FrmMain::groundActions() const {
    return {mnuViewMapScale, mnuToolsSelectRect, mnuToolsSelectPolygon, mnuToolsMeasure, mnuToolsLevelSite, mnuToolsGradeTrack};
}

void FrmMain::connectGroundHandlers() {
    connect(mnuViewMapScale, &QAction::triggered, this, &FrmMain::mnuViewMapScale_Click);
    connect(m_groundTools, &QActionGroup::triggered, this, &FrmMain::chooseGroundTool);
    connect(mnuToolsLevelSite, &QAction::triggered, this, &FrmMain::mnuToolsLevelSite_Click);
    connect(mnuToolsGradeTrack, &QAction::triggered, this, &FrmMain::mnuToolsGradeTrack_Click);
}

void FrmMain::attachGroundTools() {
    MapOverlay* overlay = m_picture->overlay();
    overlay->onMeasure = [this](QPointF from, QPointF to) {
        const Session& s = m_app.session;
        if (s.gblnBusy || s.gblnDrawing) return;
        setStatus(measureText(measureGround(*m_doc.disp.image, m_doc.scale, from.x(), from.y(), to.x(), to.y())));
    };
    overlay->onTrackChanged = [this] { previewTrack(); };
    overlay->onTrackEnded = [this] { gradeDrawnTrack(); };
    chooseGroundTool();
}

void FrmMain::chooseGroundTool() {
    if (!m_picture) return;
    using Tool = MapOverlay::Tool;
    const QAction* chosen = m_groundTools->checkedAction();
    m_picture->overlay()->setTool(chosen == mnuToolsSelectRect      ? Tool::Rectangle
                                  : chosen == mnuToolsSelectPolygon ? Tool::Polygon
                                  : chosen == mnuToolsMeasure       ? Tool::Measure
                                                                    : Tool::None);
    updatePreview();
}

void FrmMain::mnuViewMapScale_Click() {
    FrmMapScale dialog(m_doc.scale, this);
    if (showMapScaleModally(dialog) != QDialog::Accepted) return;
    const std::optional<MapScale> scale = dialog.scale();
    if (scale != m_doc.scale) recorded("Map Scale", false, [&] { setMapScale(*this, scale); });
}

void FrmMain::mnuToolsLevelSite_Click() {
    const Session& s = m_app.session;
    if (!m_picture || s.gblnBusy || s.gblnDrawing) return;
    const std::optional<SiteShape> shape = m_picture->overlay()->selection();
    if (!shape) {
        showMessage(m_app, "Select the site first: Tools > Select Rectangle or Select Polygon, then drag or click on the picture.",
                    mb::OKOnly + mb::Exclamation, "Level Site");
        return;
    }
    LevelSiteChoice choice{*shape, std::nullopt, Quantity{}};
    const LevelSitePlan plan = planLevelSite(m_doc, choice);
    if (!plan.problem.empty()) {
        // Tells why in its message and changes nothing.
        levelSiteOfMap(*this, choice);
        return;
    }
    FrmLevelSite dialog(plan.level, m_doc.scale, this);
    if (showLevelSiteModally(dialog) != QDialog::Accepted) return;
    choice.height = dialog.height();
    choice.shoulder = dialog.shoulder();
    std::optional<LevelSiteResult> result;
    recorded("Level Site", true, [&] { result = levelSiteOfMap(*this, choice); });
    if (result) setStatus(levelSiteSummary(*result, m_doc.scale));
}

void FrmMain::mnuToolsGradeTrack_Click() {
    const Session& s = m_app.session;
    if (!m_picture || s.gblnBusy || s.gblnDrawing) return;
    if (!m_doc.scale || !m_doc.scale->knowsDistances() || !m_doc.scale->knowsHeights()) {
        // Refused before any line is drawn.
        showMessage(m_app, "The map has no scale: give it the metres a pixel and a grey level with View > Map Scale... first.",
                    mb::OKOnly + mb::Exclamation, "Grade Track");
        return;
    }
    if (QAction* chosen = m_groundTools->checkedAction()) chosen->setChecked(false);
    MapOverlay* overlay = m_picture->overlay();
    overlay->clearTrack();
    overlay->setTool(MapOverlay::Tool::Track);
    setStatus("Click the track's points on the picture, then press Enter to grade it (Esc drops it).");
}

void FrmMain::previewTrack() {
    if (!m_picture) return;
    const std::vector<TrackPoint> line = m_picture->overlay()->track();
    if (line.size() < 2 || !m_doc.scale) {
        updatePreview();
        return;
    }
    GradeRequest request = m_lastGrade;
    request.line = line;
    try {
        auto copy = std::make_shared<HeightImage>(*m_doc.disp.image);
        gradeMap(*copy, *m_doc.scale, request);
        m_picture->setLevelMap(sameLevels(), std::move(copy));
    } catch (const GradeError& e) {
        updatePreview();
        setStatus(e.what());
    }
}

void FrmMain::gradeDrawnTrack() {
    MapOverlay* overlay = m_picture->overlay();
    FrmGradeTrack dialog(m_doc.disp.image, m_doc.scale, overlay->track(), m_lastGrade, this);
    dialog.onPreview = [this](std::shared_ptr<const HeightImage> graded) {
        if (!m_picture) return;
        if (graded)
            m_picture->setLevelMap(sameLevels(), std::move(graded));
        else
            updatePreview();
    };
    dialog.onPreview(dialog.previewMap());
    const int answer = showGradeTrackModally(dialog);
    const GradeRequest request = dialog.request();
    if (!m_picture) return;
    overlay->clearTrack();
    overlay->setTool(MapOverlay::Tool::None);
    chooseGroundTool();
    if (answer != QDialog::Accepted) return;
    m_lastGrade = request;
    std::optional<GradeOutcome> done;
    recorded("Grade Track", true, [&] { done = gradeTrack(*this, request); });
    if (done)
        setStatus("Graded " + std::to_string(std::lround(done->profile.length())) + " m of track: cut " +
                  std::to_string(std::lround(done->corridor.cutCubicMetres)) + " m3, fill " +
                  std::to_string(std::lround(done->corridor.fillCubicMetres)) + " m3");
}

}  // namespace morv
