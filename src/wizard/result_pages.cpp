#include "wizard/frm_main.hpp"

// The result page's texts and buttons arrive with the window's pages; the
// controller's state already moves to the page.
void frmMain::ShowResultPage(CatalogResult) {}
