#pragma once
// Resource identifiers of the module: strings, dialogs, controls and the
// banner bitmap. Included by resources/tessary.rc and by code; #defines only.

// ---- Strings ----
#define IDS_LIB_DESCRIPTION       1
#define IDS_CATEGORY              2
#define IDS_CLASS_NAME            3
#define IDS_PARAMETERS            4
#define IDS_MAPS                  5
#define IDS_MAP_ENABLE            6
#define IDS_MASK_ENABLE           7
#define IDS_NONE                  8
#define IDS_MAP                   9
#define IDS_USE_LAYER             11
#define IDS_OPASITY               12
#define IDS_COLOR                 13
#define IDS_MODE                  14
#define IDS_PARAM_CHANGE          15
#define IDS_MODE_NORMAL           16
#define IDS_MODE_MULTIPLY         17
#define IDS_MODE_SCREEN           18
#define IDS_MODE_ADDITIVE         19
#define IDS_MODE_SUBTRACTIVE      20
#define IDS_MODE_STAMP            21
#define IDS_MODE_DIFFERENCE       22
#define IDS_MODE_NEGATION         23
#define IDS_MODE_EXCLUSION        24
#define IDS_MODE_DARKEN           25
#define IDS_MODE_LIGHTEN          26
#define IDS_MODE_OVERLAY          27
#define IDS_MODE_HARD_LIGHT       28
#define IDS_MODE_SOFT_LIGHT       29
#define IDS_MODE_DODGE            30
#define IDS_MODE_INVERSE_DODGE    31
#define IDS_MODE_SOFT_DODGE       32
#define IDS_MODE_BURN             33
#define IDS_MODE_INVERSE_BURN     34
#define IDS_MODE_SOFT_BURN        36
#define IDS_MODE_INTERPOLATION    37
#define IDS_MODE_AVERAGE          38
#define IDS_MODE_HUE              39
#define IDS_MODE_SATURATION       40
#define IDS_MODE_LUMINANCE        41
#define IDS_MODE_COLOR            42
#define IDS_MODE_REFLECT          43
#define IDS_MODE_GLOW             44
#define IDS_MODE_FREEZE           45
#define IDS_MODE_HEAT             46
#define IDS_MODE_RGB_RED          47
#define IDS_MODE_RGB_GREEN        48
#define IDS_MODE_RGB_BLUE         49
#define IDS_MODE_EXACT_DIFFERENCE 50
#define IDS_ROLLOUT_LAYERS        60
#define IDS_ROLLOUT_OUTPUT        61
#define IDS_ROLLOUT_ABOUT         62
#define IDS_VERSION_LABEL         63
#define IDS_VERSION_LABEL_NETWORK 64
#define IDS_VERSION_NUMBER        65
#define IDS_VERSION_FORMAT        66
#define IDS_BASE_LAYER            67
#define IDS_MAP_LABEL             68
#define IDS_MAP_LABEL_TAIL        69
#define IDS_MASK_LABEL            70
#define IDS_MASK_LABEL_TAIL       71
#define IDS_SLOT_NAME_FORMAT      72
#define IDS_LAYER_NUMBER_FORMAT   73
#define IDS_MASK_NONE_SHORT       105
#define IDS_MASK_NONE             106

// ---- Dialogs and bitmap ----
#define IDD_ABOUT                 107
#define IDD_SET_NUMBER            192
#define IDD_INSERT_LAYER          193
#define IDD_DELETE_LAYER          194
#define IDD_OUTPUT                196
#define IDD_LAYERS                197
#define IDB_BANNER                102

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// ---- Layers rollout (dialog 197) ----
#define IDC_SET_NUMBER            1497
#define IDC_NUM_LAYERS            1498
#define IDC_ADD_LAYER             1531
#define IDC_DELETE_LAYER          1532
#define IDC_LAYER_SCROLL          1530
// Row r's controls are the row 0 ID plus r; map and mask buttons alternate,
// the map button of row r is 1550 + 2r and its mask button 1551 + 2r.
#define IDC_ROW_FRAME0            1021
#define IDC_ROW_FRAME1            1022
#define IDC_ROW_FRAME2            1023
#define IDC_ROW_FRAME3            1024
#define IDC_ROW_FRAME4            1025
#define IDC_ROW_FRAME5            1026
#define IDC_LAYER_NUMBER0         1014
#define IDC_LAYER_NUMBER1         1015
#define IDC_LAYER_NUMBER2         1016
#define IDC_LAYER_NUMBER3         1017
#define IDC_LAYER_NUMBER4         1018
#define IDC_LAYER_NUMBER5         1019
#define IDC_USE_LAYER0            1517
#define IDC_USE_LAYER1            1518
#define IDC_USE_LAYER2            1519
#define IDC_USE_LAYER3            1520
#define IDC_USE_LAYER4            1521
#define IDC_USE_LAYER5            1522
#define IDC_OPACITY_EDIT0         1007
#define IDC_OPACITY_EDIT1         1008
#define IDC_OPACITY_EDIT2         1009
#define IDC_OPACITY_EDIT3         1010
#define IDC_OPACITY_EDIT4         1011
#define IDC_OPACITY_EDIT5         1012
#define IDC_OPACITY_SPIN0         1001
#define IDC_OPACITY_SPIN1         1002
#define IDC_OPACITY_SPIN2         1003
#define IDC_OPACITY_SPIN3         1004
#define IDC_OPACITY_SPIN4         1005
#define IDC_OPACITY_SPIN5         1006
#define IDC_LAYER_COLOR0          1100
#define IDC_LAYER_COLOR1          1101
#define IDC_LAYER_COLOR2          1102
#define IDC_LAYER_COLOR3          1103
#define IDC_LAYER_COLOR4          1104
#define IDC_LAYER_COLOR5          1105
#define IDC_MODE_LIST0            1200
#define IDC_MODE_LIST1            1201
#define IDC_MODE_LIST2            1202
#define IDC_MODE_LIST3            1203
#define IDC_MODE_LIST4            1204
#define IDC_MODE_LIST5            1205
#define IDC_MAP_ON0               1511
#define IDC_MAP_ON1               1512
#define IDC_MAP_ON2               1513
#define IDC_MAP_ON3               1514
#define IDC_MAP_ON4               1515
#define IDC_MAP_ON5               1516
#define IDC_MASK_ON0              1523
#define IDC_MASK_ON1              1524
#define IDC_MASK_ON2              1525
#define IDC_MASK_ON3              1526
#define IDC_MASK_ON4              1527
#define IDC_MASK_ON5              1528
#define IDC_MAP_BUTTON0           1550
#define IDC_MASK_BUTTON0          1551
#define IDC_MAP_BUTTON1           1552
#define IDC_MASK_BUTTON1          1553
#define IDC_MAP_BUTTON2           1554
#define IDC_MASK_BUTTON2          1555
#define IDC_MAP_BUTTON3           1556
#define IDC_MASK_BUTTON3          1557
#define IDC_MAP_BUTTON4           1558
#define IDC_MASK_BUTTON4          1559
#define IDC_MAP_BUTTON5           1560
#define IDC_MASK_BUTTON5          1561

// ---- Output rollout (dialog 196) ----
#define IDC_OUTPUT_ON             1031
#define IDC_CLAMP                 1036
#define IDC_MONO                  1037
#define IDC_RESET                 1040
#define IDC_R_EDIT                1014
#define IDC_R_SPIN                1021
#define IDC_G_EDIT                1032
#define IDC_G_SPIN                1033
#define IDC_B_EDIT                1034
#define IDC_B_SPIN                1035
#define IDC_H_EDIT                1013
#define IDC_H_SPIN                1020
#define IDC_S_EDIT                1027
#define IDC_S_SPIN                1028
#define IDC_V_EDIT                1029
#define IDC_V_SPIN                1030
#define IDC_BRIGHT_EDIT           1015
#define IDC_BRIGHT_SPIN           1022
#define IDC_ALPHA_EDIT            1018
#define IDC_ALPHA_SPIN            1025
#define IDC_CONTRAST_EDIT         1016
#define IDC_CONTRAST_SPIN         1023
#define IDC_GAMMA_EDIT            1017
#define IDC_GAMMA_SPIN            1024

// ---- About rollout (dialog 107) ----
#define IDC_VERSION_TEXT          1018
#define IDC_BANNER                1024

// ---- Layer count dialogs (192, 193, 194) ----
#define IDC_COUNT_EDIT            1498
#define IDC_COUNT_SPIN            1506
