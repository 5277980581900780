// The Other Address dialog of the Port menu: a base address typed in hex.
// Apart from resource_ids.h, whose control ids are the main window's.
#ifndef QUILLON_OTHER_ADDRESS_IDS_H
#define QUILLON_OTHER_ADDRESS_IDS_H

#define IDD_OTHER_ADDRESS 104
#define IDC_ADDRESS_EDIT 1101
#define IDC_ADDRESS_PROBLEM 1102

#endif
