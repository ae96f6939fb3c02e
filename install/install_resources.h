// Resource ids of the installation utilities.
#pragma once

#define IDD_INTERFACE_SETTING 100
#define IDC_LA_PRINTER 1000
#define IDC_LA_PCI 1001
#define IDC_LA_USB 1002
#define IDC_QG_PRINTER 1003
#define IDC_QG_PCI 1004
#define IDC_QG_USB 1005
#define IDC_LA_ISA 1006

#define IDS_KEEP_OLD_SETTINGS 1
#define IDS_KEEP_OLD_TITLE 2
#define IDS_NOT_ADMINISTRATOR 3
#define IDS_NOT_ADMINISTRATOR_TITLE 4
