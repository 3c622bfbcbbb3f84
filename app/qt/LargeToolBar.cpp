#include "app/qt/LargeToolBar.h"

#include <QFile>
#include <QFontMetrics>
#include <algorithm>

#include "app/core/CommandStrings.h"
#include "app/qt/BmpReader.h"
#include "framework/StringTable.h"
#include "res/Toolbar.h"

static void InitAppResources() {
    // The resources live in a static library; naming them keeps them linked in.
    Q_INIT_RESOURCE(tirvel);
}

namespace app {
namespace {

std::vector<QPixmap> LoadImages(fw::UINT bitmapId, int imageWidth) {
    if (imageWidth <= 0) {
        return {};
    }
    QFile file(BitmapResourcePath(bitmapId));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const std::optional<DecodedBitmap> bitmap = DecodeBmp(file.readAll());
    if (!bitmap) {
        return {};
    }
    const QImage masked = WithTransparentColour(bitmap->image, bitmap->firstStoredPixel);
    std::vector<QPixmap> images;
    const int count = masked.width() / imageWidth;
    for (int i = 0; i < count; ++i) {
        images.push_back(
            QPixmap::fromImage(masked.copy(i * imageWidth, 0, imageWidth, masked.height())));
    }
    return images;
}

}  // namespace

QString BitmapResourcePath(fw::UINT id) {
    return QStringLiteral(":/bitmaps/%1.bmp").arg(id);
}

CLargeToolBar::CLargeToolBar(QWidget* parent) : QToolBar(parent) {
    InitAppResources();
    setMovable(false);
    setFloatable(false);
    setObjectName(QStringLiteral("mainToolBar"));
}

bool CLargeToolBar::LoadToolBar(fw::UINT id) {
    const res::ToolbarResource* resource = res::FindToolbar(id);
    if (resource == nullptr) {
        return false;
    }
    imageSize_ = QSize(resource->imageWidth, resource->imageHeight);
    setIconSize(imageSize_);
    for (const res::ToolbarItem& item : resource->items) {
        if (item.command == res::ID_SEPARATOR) {
            addSeparator();
            continue;
        }
        const fw::UINT command = item.command;
        const CommandStrings strings = LoadCommandStrings(command);
        const QString prompt = QString::fromStdString(strings.prompt);
        const QString tip = QString::fromStdString(strings.toolTip);
        const QString text = QString::fromStdString(fw::LoadString(item.textId));

        auto* action = new QAction(text, this);
        action->setData(command);
        action->setStatusTip(prompt);
        action->setToolTip(tip);

        // A button of our own rather than QToolBar's: a button made from an
        // action takes the action's text as its tooltip when the command has
        // none, and a command without a tooltip must show none.
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setToolTip(tip);
        button->setStatusTip(prompt);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(imageSize_);
        button->setFixedSize(kButtonSize, kButtonSize);
        button->setFocusPolicy(Qt::NoFocus);
        addWidget(button);

        connect(button, &QToolButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button,
                [button, action] { button->setEnabled(action->isEnabled()); });
        connect(action, &QAction::triggered, this,
                [this, command] { emit commandTriggered(command); });

        commands_.push_back(command);
        actions_[command] = action;
        buttons_[command] = button;
    }
    FitLabels();
    // The resource's own images, until better lists are installed.
    lists_[kNormal] = LoadImages(id, resource->imageWidth);
    ApplyImages();
    return true;
}

bool CLargeToolBar::SetImageLists(int imageWidth, fw::UINT normalId, fw::UINT hotId,
                                  fw::UINT disabledId) {
    const std::array<std::pair<ImageList, fw::UINT>, 3> lists{
        {{kNormal, normalId}, {kHot, hotId}, {kDisabled, disabledId}}};
    for (const auto& [which, bitmapId] : lists) {
        if (bitmapId != 0 && !LoadImageList(which, bitmapId, imageWidth)) {
            return false;
        }
    }
    return true;
}

bool CLargeToolBar::LoadImageList(ImageList which, fw::UINT bitmapId, int imageWidth) {
    std::vector<QPixmap> images = LoadImages(bitmapId, imageWidth);
    if (images.empty()) {
        return false;
    }
    lists_[which] = std::move(images);
    ApplyImages();
    return true;
}

void CLargeToolBar::FitLabels() {
    // The buttons keep their size; a label too wide for them would be elided,
    // so the labels' font shrinks (within reason) until the widest fits.
    constexpr int kTextMargin = 8;
    constexpr double kSmallestPoints = 6.5;
    QFont font = this->font();
    const auto widest = [this](const QFont& f) {
        const QFontMetrics metrics(f);
        int width = 0;
        for (const auto& [command, button] : buttons_) {
            width = std::max(width, metrics.horizontalAdvance(button->text()));
        }
        return width;
    };
    while (widest(font) > kButtonSize - kTextMargin && font.pointSizeF() > kSmallestPoints) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    for (const auto& [command, button] : buttons_) {
        button->setFont(font);
    }
}

void CLargeToolBar::ApplyImages() {
    static constexpr QIcon::Mode kModes[] = {QIcon::Normal, QIcon::Active, QIcon::Disabled};
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        QIcon icon;
        for (int list = kNormal; list <= kDisabled; ++list) {
            if (i < lists_[list].size()) {
                icon.addPixmap(lists_[list][i], kModes[list]);
            }
        }
        buttons_[commands_[i]]->setIcon(icon);
    }
}

QAction* CLargeToolBar::Action(fw::UINT command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QToolButton* CLargeToolBar::Button(fw::UINT command) const {
    const auto it = buttons_.find(command);
    return it == buttons_.end() ? nullptr : it->second;
}

}  // namespace app
