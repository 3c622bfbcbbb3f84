// The frame's toolbar with large buttons: 48x48 images above their labels in
// 72x72 buttons, built from a toolbar resource, with separate image lists for
// the normal, hot (pointer over the button) and disabled looks.
#pragma once

#include <QAction>
#include <QPixmap>
#include <QString>
#include <QToolBar>
#include <QToolButton>
#include <array>
#include <map>
#include <vector>

#include "common/Win.h"

namespace app {

class CLargeToolBar : public QToolBar {
    Q_OBJECT
public:
    enum ImageList { kNormal = 0, kHot = 1, kDisabled = 2 };

    static constexpr int kButtonSize = 72;

    explicit CLargeToolBar(QWidget* parent = nullptr);

    // The buttons of toolbar resource `id`, labelled from the string table, with
    // the resource's own images (bitmap `id`) as the normal list. False when
    // there is no such toolbar; missing images leave the buttons without.
    bool LoadToolBar(fw::UINT id);

    // Each ID names a bitmap for one list; 0 leaves that list alone. Stops at
    // the first bitmap that does not load and returns false: the lists
    // installed before it stay, and the buttons keep the images they had.
    bool SetImageLists(int imageWidth, fw::UINT normalId, fw::UINT hotId, fw::UINT disabledId);
    // One list from a bitmap: as many images as the bitmap is wide, the colour
    // of its first stored pixel transparent.
    bool LoadImageList(ImageList which, fw::UINT bitmapId, int imageWidth);

    // The action behind a command's button (what the frame enables), or nullptr.
    QAction* Action(fw::UINT command) const;
    QToolButton* Button(fw::UINT command) const;
    // The commands in button order, without separators.
    const std::vector<fw::UINT>& Commands() const { return commands_; }

signals:
    void commandTriggered(fw::UINT command);

private:
    void FitLabels();
    void ApplyImages();

    std::vector<fw::UINT> commands_;
    std::map<fw::UINT, QAction*> actions_;
    std::map<fw::UINT, QToolButton*> buttons_;
    std::array<std::vector<QPixmap>, 3> lists_;
    QSize imageSize_{48, 48};
};

// The bitmap resource of this ID as the app carries it (":/bitmaps/<id>.bmp").
QString BitmapResourcePath(fw::UINT id);

}  // namespace app
