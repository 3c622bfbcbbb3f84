// Placeholder while the view set-up and log pane are being written.
#include "form/Tirvel2View.h"

void CTirvel2View::OnInitialUpdate() {
    fw::CFormView::OnInitialUpdate();
}
void CTirvel2View::AppendToLog(const char*) {}
void CTirvel2View::OnClearLog() {}
void CTirvel2View::OnSaveLog() {}
