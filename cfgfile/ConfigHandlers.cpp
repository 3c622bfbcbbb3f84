// Placeholder while the configuration-file handlers are being written.
#include "form/Tirvel2View.h"

void CTirvel2View::OnExportConfig() {}
void CTirvel2View::OnImportConfig() {}
void CTirvel2View::OnTemplateConfig() {}
void CTirvel2View::OnClearConfig() {}
