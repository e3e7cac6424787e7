#include "ui/FrmSplash.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

#include "core/AppInfo.h"
#include "core/Routine.h"

namespace morv {

namespace {

/// A small height map as the logo: grey hills fading to the ground.
QPixmap logoPixmap() {
    QPixmap pixmap(72, 72);
    QPainter p(&pixmap);
    QLinearGradient sky(0, 0, 0, 72);
    sky.setColorAt(0, QColor(240, 240, 240));
    sky.setColorAt(1, QColor(64, 64, 64));
    p.fillRect(pixmap.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 128, 128));
    p.drawEllipse(QRect(-10, 36, 60, 60));
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(QRect(28, 28, 56, 70));
    return pixmap;
}

}  // namespace

QString platformName() {
    QString kernel = QSysInfo::kernelType();
    if (!kernel.isEmpty()) kernel[0] = kernel[0].toUpper();
    return kernel;
}

FrmSplash::FrmSplash(App& app, const CommandLine& commandLine, std::function<void()> showMain)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_app(app), m_showMain(std::move(showMain)) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    const VersionRecord record = versionRecord();

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    auto label = [frame](const char* name, const QString& text, int pointDelta) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(QString::fromUtf8(name));
        if (pointDelta) {
            QFont f = l->font();
            f.setPointSize(f.pointSize() + pointDelta);
            f.setBold(pointDelta > 4);
            l->setFont(f);
        }
        return l;
    };
    auto* imgLogo = new QLabel(frame);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(logoPixmap());
    QLabel* lblProductName = label("lblProductName", QString::fromStdString(record.productName), 14);
    QLabel* lblCompanyProduct = label("lblCompanyProduct", QString::fromStdString(record.company) + QStringLiteral(" - ") +
                                                               QString::fromStdString(record.description), 1);
    QLabel* lblCopyright = label("lblCopyright", QString::fromStdString(record.copyright), 0);
    // The platform the program runs on, where the original named its Windows versions.
    QLabel* lblPlatform = label("lblPlatform", platformName(), 4);
    lblVersion = label("lblVersion", QString(), 0);

    auto* text = new QVBoxLayout;
    text->addWidget(lblCompanyProduct);
    text->addWidget(lblProductName);
    text->addWidget(lblPlatform);
    text->addStretch(1);
    text->addWidget(lblVersion);
    text->addWidget(lblCopyright);
    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(24, 24, 24, 24);
    inner->setSpacing(24);
    inner->addWidget(imgLogo, 0, Qt::AlignTop);
    inner->addLayout(text, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1500);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &FrmSplash::Timer1_Timer);

    Form_Load(commandLine);
    Timer1->start();
}

void FrmSplash::Form_Load(const CommandLine& commandLine) {
    Session& s = m_app.session;
    // The command line is read before the trap is armed, so the switches are known first.
    if (commandLine.log) m_app.trace.openLog("Morv.log", versionRecord());
    if (commandLine.programmer) s.gblnProgrammerMode = true;
    if (!commandLine.imageFile.empty()) s.gstrImageFile = commandLine.imageFile;

    Routine r(m_app, "frmSplash.Form_Load");
    r([&] { s.gstrAppFolder = QDir::currentPath().toStdString(); });
    r([&] { s.gstrVersion = versionText(); });
    r([&] { lblVersion->setText(QStringLiteral("Version ") + QString::fromStdString(s.gstrVersion)); });
}

void FrmSplash::Timer1_Timer() {
    Routine r(m_app, "frmSplash.Timer1_Timer");
    r([&] { m_showMain(); });
    r([&] { close(); });
}

}  // namespace morv
