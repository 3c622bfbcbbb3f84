#include "framework/SiteRelay.h"

namespace fw {

void CSiteRelay::ShowControl(int id, int showCommand) {
    if (target_ != nullptr) {
        target_->ShowControl(id, showCommand);
    }
}

bool CSiteRelay::IsControlVisible(int id) const {
    return target_ != nullptr && target_->IsControlVisible(id);
}

void CSiteRelay::EnableControl(int id, bool enable) {
    if (target_ != nullptr) {
        target_->EnableControl(id, enable);
    }
}

bool CSiteRelay::IsControlEnabled(int id) const {
    return target_ != nullptr && target_->IsControlEnabled(id);
}

void CSiteRelay::FocusControl(int id) {
    if (target_ != nullptr) {
        target_->FocusControl(id);
    }
}

void CSiteRelay::SetControlText(int id, const std::string& utf8) {
    if (target_ != nullptr) {
        target_->SetControlText(id, utf8);
    }
}

std::string CSiteRelay::GetControlText(int id) const {
    return target_ != nullptr ? target_->GetControlText(id) : std::string();
}

void CSiteRelay::SetControlCheck(int id, int state) {
    if (target_ != nullptr) {
        target_->SetControlCheck(id, state);
    }
}

int CSiteRelay::GetControlCheck(int id) const {
    return target_ != nullptr ? target_->GetControlCheck(id) : 0;
}

void CSiteRelay::AppendControlText(int id, const std::string& utf8) {
    if (target_ != nullptr) {
        target_->AppendControlText(id, utf8);
    }
}

void CSiteRelay::SetRichEditLook(int id, const RichEditLook& look) {
    if (target_ != nullptr) {
        target_->SetRichEditLook(id, look);
    }
}

void CSiteRelay::SetControlSizePixels(int id, int width, int height) {
    if (target_ != nullptr) {
        target_->SetControlSizePixels(id, width, height);
    }
}

void CSiteRelay::SetProgressRange(int id, int low, int high) {
    if (target_ != nullptr) {
        target_->SetProgressRange(id, low, high);
    }
}

void CSiteRelay::SetProgressPos(int id, int pos) {
    if (target_ != nullptr) {
        target_->SetProgressPos(id, pos);
    }
}

void CSiteRelay::SetControlItems(int id, const std::vector<std::string>& utf8Items) {
    if (target_ != nullptr) {
        target_->SetControlItems(id, utf8Items);
    }
}

void CSiteRelay::SetTextLook(int id, const TextLook& look) {
    if (target_ != nullptr) {
        target_->SetTextLook(id, look);
    }
}

int CSiteRelay::MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) {
    return target_ != nullptr ? target_->MessageBoxById(textId, captionId, type, args) : IDOK;
}

void CSiteRelay::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (target_ != nullptr) {
        target_->PostMessage(message, wParam, lParam);
    }
}

UINT CSiteRelay::SetTimer(UINT id, UINT periodMs) {
    return target_ != nullptr ? target_->SetTimer(id, periodMs) : 0;
}

bool CSiteRelay::KillTimer(UINT id) {
    return target_ != nullptr && target_->KillTimer(id);
}

}  // namespace fw
