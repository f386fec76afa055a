#pragma once

// Resource and control IDs of the program.

#include "ui/dialog_template.h"

namespace telvane {

inline constexpr int IDD_TELVANE_DIALOG = 102;
inline constexpr int IDS_SOCKETS_INIT_FAILED = 103;
inline constexpr int IDR_MAINFRAME = 128;  // the program icon

// Controls of the main dialog.
inline constexpr int IDC_DEVICE_LIST_LABEL = 1036;
inline constexpr int IDC_DEVICE_LIST = 1127;
inline constexpr int IDC_PROGRESS = 1129;
inline constexpr int IDC_IPV4_DHCP = 1132;
inline constexpr int IDC_IPV4_STATIC = 1133;
inline constexpr int IDC_IPV4_ADDRESS_LABEL = 1021;
inline constexpr int IDC_IPV4_ADDRESS = 1128;
inline constexpr int IDC_IPV4_MASK_LABEL = 1023;
inline constexpr int IDC_IPV4_MASK = 1131;
inline constexpr int IDC_IPV4_GATEWAY_LABEL = 1025;
inline constexpr int IDC_IPV4_GATEWAY = 1130;
inline constexpr int IDC_ENUMERATE = 1125;
inline constexpr int IDC_SET_IP = 1126;
inline constexpr int IDC_EXIT = IDOK;
inline constexpr int IDC_ADAPTER_LABEL = 1035;
inline constexpr int IDC_ADAPTER = 1015;
inline constexpr int IDC_IPV4_GROUP = 1033;
inline constexpr int IDC_IPV4_DNS_AUTO = 1134;
inline constexpr int IDC_IPV4_DNS_MANUAL = 1135;
inline constexpr int IDC_DNS4_PREFERRED_LABEL = 1027;
inline constexpr int IDC_DNS4_PREFERRED = 1136;
inline constexpr int IDC_DNS4_ALTERNATE_LABEL = 1029;
inline constexpr int IDC_DNS4_ALTERNATE = 1137;
inline constexpr int IDC_IPV6_DHCP = 1139;
inline constexpr int IDC_IPV6_STATIC = 1140;
inline constexpr int IDC_IPV6_ADDRESS_LABEL = 1022;
inline constexpr int IDC_IPV6_PREFIX_LABEL = 1024;
inline constexpr int IDC_IPV6_GATEWAY_LABEL = 1026;
inline constexpr int IDC_IPV6_GROUP = 1032;
inline constexpr int IDC_IPV6_DNS_AUTO = 1144;
inline constexpr int IDC_IPV6_DNS_MANUAL = 1145;
inline constexpr int IDC_DNS6_PREFERRED_LABEL = 1028;
inline constexpr int IDC_DNS6_ALTERNATE_LABEL = 1030;
inline constexpr int IDC_IPV6_ADDRESS = 1016;
inline constexpr int IDC_IPV6_PREFIX = 1017;
inline constexpr int IDC_DNS6_PREFERRED = 1018;
inline constexpr int IDC_DNS6_ALTERNATE = 1019;
inline constexpr int IDC_IPV6_GATEWAY = 1020;
inline constexpr int IDC_PROTOCOL_LABEL = 1034;
inline constexpr int IDC_PROTOCOL = 1031;

}  // namespace telvane
