#include "commands/BlurCommands.h"

#include <memory>
#include <string>

#include "analysis/Blur.h"
#include "core/Numbers.h"
#include "core/Routine.h"

namespace morv {

void prepareBlur(const Host& host) {
    Routine r(host.app(), "frmMain.LoadBlurData");
    r([&] {
        const Picture& disp = host.document().disp;
        host.document().blur = BlurState{disp.width(), disp.height()};
    });
}

void releaseBlur(const Host& host) { host.document().blur.reset(); }

void runBlur(const Host& host, std::int16_t amount) {
    Routine r(host.app(), "frmMain.blur");
    r([&] {
        Document& doc = host.document();
        // Held by shared ownership: a close served during a yield may drop the display.
        const std::shared_ptr<HeightImage> image = doc.disp.image;
        if (!doc.blur || doc.blur->width != image->width() || doc.blur->height != image->height())
            throw RuntimeError(5, "Invalid procedure call or argument: the blur was not prepared for this picture");
        blurPicture(*image, amount, [&](int i) {
            if (amount > 1) {
                const int percent = int(roundAway(double(i) / double(amount - 1) * 100.0));
                host.activity.setProgress("WORKING... Blurring Image " + std::to_string(percent) + "%", percent);
            }
            host.activity.doEvents();
        });
    });
    r([&] { host.activity.setStatus(""); });
    r([&] { host.activity.doEvents(); });
}

void applyBlur(const Host& host) {
    Routine r(host.app(), "frmMain.ApplyBlur");
    r([&] { prepareBlur(host); });
    r([&] { runBlur(host, std::int16_t(host.work.controls().blurValue)); });
    r([&] { host.document().disp.commit(); });
    r([&] { host.activity.doEvents(); });
}

}  // namespace morv
