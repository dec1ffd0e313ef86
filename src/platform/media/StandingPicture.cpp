#include "platform/media/StandingPicture.h"

#include "platform/media/YuvOverlay.h"

namespace zanto {

StandingPicture::StandingPicture(QImage picture) : picture_(std::move(picture)) { }

StandingPicture::~StandingPicture() = default;

const media::YuvOverlay& StandingPicture::tables()
{
    std::lock_guard lock(mutex_);
    if (!tables_) {
        tables_ = std::make_unique<const media::YuvOverlay>(picture_);
        picture_ = QImage();
    }
    return *tables_;
}

} // namespace zanto
