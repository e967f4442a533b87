// The check, result, download and ready pages. Their texts and transfers
// arrive with the download controller; until then each shows its frame.
#include "wizard/frm_main.hpp"

void frmMain::ShowCheckPage() { ShowFrame(3); }
void frmMain::ShowResultPage(CatalogResult) { ShowFrame(4); }
void frmMain::ShowDownloadPage() { ShowFrame(3); }
void frmMain::ShowReadyPage() { ShowFrame(4); }
