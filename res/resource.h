/* Resource ids shared by quorvel.rc and the code. */
#ifndef QUORVEL_RESOURCE_H
#define QUORVEL_RESOURCE_H

#define IDD_ABOUT               101
#define IDI_IDLE                104
#define IDI_SWITCHED            105
#define IDD_CONFIG              107
#define IDD_LOCATION            109

/* About dialog */
#define IDC_WEBLINK             1001

/* Configuration dialog */
#define IDC_LOCATIONLIST        1002
#define IDC_SETBYIP             1003
#define IDC_ADD                 1004
#define IDC_DELETE              1005
#define IDC_MODIFY              1006
#define IDC_ICONPROPERTIES      1007
#define IDC_ICONSPOOLER         1008
#define IDC_ICONACTIONGROUP     1018
#define IDC_NOMATCHPRINTER      1019
#define IDC_IFNOMATCH           1020
#define IDC_NOTIFYONSWITCH      1032
#define IDC_MANAGEDNOTE         1033

/* Location dialog */
#define IDC_LOCATIONNAME        1010
#define IDC_IPSTART             1011
#define IDC_IPFINISH            1012
#define IDC_PRINTER             1016
#define IDC_AUTORANGE           1023
#define IDC_CURRENTIP           1024
#define IDC_NONETWORK           1025
#define IDC_GATEWAYCHECK        1030
#define IDC_GATEWAYTEXT         1031

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#endif
