/* The keyword vocabulary: every keyword the library knows, its number and its
 * text, and the look-ups from text to number.
 *
 * The numbers of iCal_Token_t are stored in records and cross the library's
 * interface: they never change. Several numbers share a text (two "VALUE", three
 * "X-", the XML tag names that repeat iCalendar names); a look-up always returns
 * the one number its own list names.
 *
 * The keyword table is filled once, by the first CALPARSER_STR::Instance() call
 * (parser_init makes it), and only read afterwards, so look-ups may run on any
 * number of threads at once. Every look-up compares hashes only (hashCodeWithLen):
 * a different text with an equal hash is taken for the keyword. Matching is
 * case-sensitive except where a function says otherwise; callers upper-case
 * names before looking them up. */
#ifndef CORE_PARSER_CAL_STR_H
#define CORE_PARSER_CAL_STR_H

#include "public/util/export.h"

/* Names: TOKEN_ and the keyword with "-" written "_" (TOKEN_DTSTART,
 * TOKEN_PERCENT_COMPLETE, TOKEN_X_KVAL_TZCROSS); grammar symbols keep their own
 * spelling (TOKEN_iCal_Body_t). Where values share a text, the value the library
 * uses keeps the plain name and the other says what it is: TOKEN_X (1019) is the
 * extension property or component, TOKEN_X_PARAM (1286) the extension parameter,
 * TOKEN_X_VALUE_TYPE (1042); TOKEN_DURATION (1288) is the property and
 * TOKEN_DURATION_TYPE (1033) the value type; TOKEN_VALUE (1027) the parameter.
 * The tag names of the XML form (1383 to 1419) are TOKEN_XML_..., a closing tag
 * TOKEN_XML_CLOSE_... ("/EVENT" is TOKEN_XML_CLOSE_EVENT). */
typedef enum iCal_Token_t {
    TOKEN_UNKNOWN                              = 0,
    TOKEN_TAB                                  = 9,
    TOKEN_SPACE                                = 32,
    TOKEN_DQUOTE                               = 34,
    TOKEN_PLUS                                 = 43,
    TOKEN_COMMA                                = 44,
    TOKEN_MINUS                                = 45,
    TOKEN_DOT                                  = 46,
    TOKEN_SLASH                                = 47,
    TOKEN_COLON                                = 58,
    TOKEN_SEMICOLON                            = 59,
    TOKEN_LESS_THAN                            = 60,
    TOKEN_EQUALS                               = 61,
    TOKEN_GREATER_THAN                         = 62,
    TOKEN_AT                                   = 64,
    TOKEN_CHAR_D                               = 68,
    TOKEN_CHAR_H                               = 72,
    TOKEN_CHAR_M                               = 77,
    TOKEN_CHAR_P                               = 80,
    TOKEN_CHAR_S                               = 83,
    TOKEN_CHAR_T                               = 84,
    TOKEN_CHAR_W                               = 87,
    TOKEN_CHAR_Y                               = 89,
    TOKEN_CHAR_Z                               = 90,

    /* Grammar, protocol and keyword values, 1000 to 1464. */
    TOKEN_NOT_USED                             = 1000,
    TOKEN_EMPTY                                = 1001,
    TOKEN_N_A                                  = 1002,
    TOKEN_PARSE_ERROR                          = 1003,
    TOKEN_FILE_IO_ERROR                        = 1004,
    TOKEN_DATA_ERROR                           = 1005,
    TOKEN_DOT_CRLF                             = 1006,
    TOKEN_iCal_GetString_t                     = 1007,
    TOKEN_iCal_GetToken_t                      = 1008,
    TOKEN_NO_ERROR                             = 1009,
    TOKEN_iCal_POP_t                           = 1010,
    TOKEN_STRING                               = 1011,
    TOKEN_CRLF                                 = 1012,
    TOKEN_iCal_lwsp_t                          = 1013,
    TOKEN_WSP                                  = 1014,
    TOKEN_DOUBLE_SLASH                         = 1015,
    TOKEN_iCal_contentLine_t                   = 1016,
    TOKEN_GROUP                                = 1017,
    TOKEN_DRAFT                                = 1018,
    TOKEN_X                                    = 1019,
    TOKEN_iCal_Iana_Name_t                     = 1020,
    TOKEN_ParamList_t                          = 1021,
    TOKEN_Parameter_t                          = 1022,
    TOKEN_VALUE_ALT                            = 1023,
    TOKEN_LANGUAGE                             = 1024,
    TOKEN_ALTREP                               = 1025,
    TOKEN_ParamType_t                          = 1026,
    TOKEN_VALUE                                = 1027,
    TOKEN_iCal_ParseData_t                     = 1028,
    TOKEN_BOOLEAN                              = 1029,
    TOKEN_CAL_ADDRESS                          = 1030,
    TOKEN_DATE                                 = 1031,
    TOKEN_DATE_TIME                            = 1032,
    TOKEN_DURATION_TYPE                        = 1033,
    TOKEN_FLOAT                                = 1034,
    TOKEN_INTEGER                              = 1035,
    TOKEN_PERIOD                               = 1036,
    TOKEN_RECUR                                = 1037,
    TOKEN_TEXT                                 = 1038,
    TOKEN_TIME                                 = 1039,
    TOKEN_URI                                  = 1040,
    TOKEN_UTC_OFFSET                           = 1041,
    TOKEN_X_VALUE_TYPE                         = 1042,
    TOKEN_CHAIR                                = 1043,
    TOKEN_TRUE                                 = 1044,
    TOKEN_FALSE                                = 1045,
    TOKEN_CONTENT_TRANSFER_ENCODING            = 1046,
    TOKEN_iCal_IanaPtype_t                     = 1047,
    TOKEN_ParamValues_t                        = 1048,
    TOKEN_ParamValue_t                         = 1049,
    TOKEN_iCal_IanaPValue_t                    = 1050,
    TOKEN_iCal_IanaPValueValue_t               = 1051,
    TOKEN_iCal_ValueToken_t                    = 1052,
    TOKEN_iCal_IanaValue_t                     = 1053,
    TOKEN_iCal_DateFullYear_t                  = 1054,
    TOKEN_iCal_DateMonth_t                     = 1055,
    TOKEN_iCal_DateMDay_t                      = 1056,
    TOKEN_iCal_FullDate_t                      = 1057,
    TOKEN_iCal_TimeHour_t                      = 1058,
    TOKEN_iCal_TimeMinute_t                    = 1059,
    TOKEN_iCal_TimeSecond_t                    = 1060,
    TOKEN_iCal_TimeNumZone_t                   = 1061,
    TOKEN_iCal_TimeZone_t                      = 1062,
    TOKEN_iCal_FullTime_t                      = 1063,
    TOKEN_iCal_DurSecond_t                     = 1064,
    TOKEN_iCal_DurMinute_t                     = 1065,
    TOKEN_iCal_DurHour_t                       = 1066,
    TOKEN_iCal_DurTime_t                       = 1067,
    TOKEN_iCal_DurWeek_t                       = 1068,
    TOKEN_iCal_DurDay_t                        = 1069,
    TOKEN_iCal_DurMonth_t                      = 1070,
    TOKEN_iCal_DurYear_t                       = 1071,
    TOKEN_iCal_DurDate_t                       = 1072,
    TOKEN_PeriodExplicit_t                     = 1073,
    TOKEN_PeriodStart_t                        = 1074,
    TOKEN_iCal_AddrSpec_t                      = 1075,
    TOKEN_iCal_LocalPart_t                     = 1076,
    TOKEN_iCal_Domain_t                        = 1077,
    TOKEN_iCal_DomainRef_t                     = 1078,
    TOKEN_iCal_Prase_t                         = 1079,
    TOKEN_iCal_Object_t                        = 1080,
    TOKEN_BEGIN                                = 1081,
    TOKEN_VCALENDAR                            = 1082,
    TOKEN_iCal_Body_t                          = 1083,
    TOKEN_END                                  = 1084,
    TOKEN_iCal_Property_t                      = 1085,
    TOKEN_iCal_PropName_t                      = 1086,
    TOKEN_iCal_IanaProp_t                      = 1087,
    TOKEN_iCal_CalProps_t                      = 1088,
    TOKEN_COMPONENT                            = 1089,
    TOKEN_CALSCALE                             = 1090,
    TOKEN_GEO                                  = 1091,
    TOKEN_METHOD                               = 1092,
    TOKEN_PERCENT_COMPLETE                     = 1093,
    TOKEN_PRODID                               = 1094,
    TOKEN_X_TAVO_CAPABILTIY                    = 1095,
    TOKEN_RPC_PROTOCOL                         = 1096,
    TOKEN_ABORT                                = 1097,
    TOKEN_VERSION                              = 1098,
    TOKEN_EVENT                                = 1099,
    TOKEN_TODO                                 = 1100,
    TOKEN_JOURNAL                              = 1101,
    TOKEN_FREEBUSY                             = 1102,
    TOKEN_VEVENT                               = 1103,
    TOKEN_TRIGGER                              = 1104,
    TOKEN_ALARM                                = 1105,
    TOKEN_ATTACH                               = 1106,
    TOKEN_ATTENDEE                             = 1107,
    TOKEN_ACTION                               = 1108,
    TOKEN_CLASS                                = 1109,
    TOKEN_COMMENT                              = 1110,
    TOKEN_COMPLETED                            = 1111,
    TOKEN_CREATED                              = 1112,
    TOKEN_DAYLIGHT                             = 1113,
    TOKEN_DESCRIPTION                          = 1114,
    TOKEN_DTEND                                = 1115,
    TOKEN_DTSTAMP                              = 1116,
    TOKEN_DTSTART                              = 1117,
    TOKEN_DUE                                  = 1118,
    TOKEN_EXDATE                               = 1119,
    TOKEN_EXRULE                               = 1120,
    TOKEN_LAST_MODIFIED                        = 1121,
    TOKEN_LOCATION                             = 1122,
    TOKEN_PRIORITY                             = 1123,
    TOKEN_RELATED                              = 1124,
    TOKEN_REPEAT                               = 1125,
    TOKEN_RECURRENCE_ID                        = 1126,
    TOKEN_RESOURCES                            = 1127,
    TOKEN_RDATE                                = 1128,
    TOKEN_RRULE                                = 1129,
    TOKEN_REQUEST_STATUS                       = 1130,
    TOKEN_ADD                                  = 1131,
    TOKEN_TAVOICAL                             = 1132,
    TOKEN_SEQUENCE                             = 1133,
    TOKEN_STATUS                               = 1134,
    TOKEN_SUMMARY                              = 1135,
    TOKEN_TRANSP                               = 1136,
    TOKEN_TZNAME                               = 1137,
    TOKEN_TZOFFSET                             = 1138,
    TOKEN_X_TAVO_CREATE_CAL                    = 1139,
    TOKEN_UID                                  = 1140,
    TOKEN_VTODO                                = 1141,
    TOKEN_VJOURNAL                             = 1142,
    TOKEN_VFREEBUSY                            = 1143,
    TOKEN_VALARM                               = 1144,
    TOKEN_VTIMEZONE                            = 1145,
    TOKEN_iCal_CalValue_t                      = 1146,
    TOKEN_GREGORIAN                            = 1147,
    TOKEN_iCal_IanaScale_t                     = 1148,
    TOKEN_PUBLISH                              = 1149,
    TOKEN_REQUEST                              = 1150,
    TOKEN_REPLY                                = 1151,
    TOKEN_CANCEL                               = 1152,
    TOKEN_REFRESH                              = 1153,
    TOKEN_COUNTER                              = 1154,
    TOKEN_DECLINECOUNTER                       = 1155,
    TOKEN_iCal_GeoValue_t                      = 1156,
    TOKEN_iCal_GeoLatLon_t                     = 1157,
    TOKEN_iCal_PidValue_t                      = 1158,
    TOKEN_iRIP_t                               = 1159,
    TOKEN_iTIP_t                               = 1160,
    TOKEN_iCal_IanaComponent_t                 = 1161,
    TOKEN_iCAP_t                               = 1162,
    TOKEN_iCal_EmbededMethod_t                 = 1163,
    TOKEN_iCal_VerValue_t                      = 1164,
    TOKEN_VERSION_2_0                          = 1165,
    TOKEN_CATEGORIES                           = 1166,
    TOKEN_CUTYPE                               = 1167,
    TOKEN_ROLE                                 = 1168,
    TOKEN_REQ_PARTICPANT                       = 1169,
    TOKEN_RSVP                                 = 1170,
    TOKEN_EXPECT                               = 1171,
    TOKEN_MEMBER                               = 1172,
    TOKEN_OPT_PARTICIPANT                      = 1173,
    TOKEN_INDIVIDUAL                           = 1174,
    TOKEN_RESOURCE                             = 1175,
    TOKEN_ROOM                                 = 1176,
    TOKEN_NON_PARTICPANT                       = 1177,
    TOKEN_iRIP_Receive_State_t                 = 1178,
    TOKEN_ORGANIZER                            = 1179,
    TOKEN_DELEGATE                             = 1180,
    TOKEN_NEEDS_ACTION                         = 1181,
    TOKEN_ACCEPTED                             = 1182,
    TOKEN_DECLINED                             = 1183,
    TOKEN_X_TAVO_SERVER_VERSION                = 1184,
    TOKEN_DELEGATED                            = 1185,
    TOKEN_DELEGATED_TO                         = 1186,
    TOKEN_DELEGATED_FROM                       = 1187,
    TOKEN_CANCELLED                            = 1188,
    TOKEN_YES                                  = 1189,
    TOKEN_NO                                   = 1190,
    TOKEN_CONTENT_DISPOSITION                  = 1191,
    TOKEN_FYI                                  = 1192,
    TOKEN_REQUIRE                              = 1193,
    TOKEN_IMMEDIATE                            = 1194,
    TOKEN_iRIP_Send_State_t                    = 1195,
    TOKEN_X_TAVO_DELETE_CAL                    = 1196,
    TOKEN_AUTHENTICATE                         = 1197,
    TOKEN_ANONYMOUS                            = 1198,
    TOKEN_CAPABILITY                           = 1199,
    TOKEN_CONTINUE                             = 1200,
    TOKEN_DISCONNECT                           = 1201,
    TOKEN_ICALDATA                             = 1202,
    TOKEN_RECIPIENT                            = 1203,
    TOKEN_SWITCH                               = 1204,
    TOKEN_LOGOUT                               = 1205,
    TOKEN_CRLF_DOT_CRLF                        = 1206,
    TOKEN_iCal_TzProp_t                        = 1207,
    TOKEN_STANDARD                             = 1208,
    TOKEN_TZURL                                = 1209,
    TOKEN_TZOFFSETTO                           = 1210,
    TOKEN_TZOFFSETFROM                         = 1211,
    TOKEN_iCal_ActionValue_t                   = 1212,
    TOKEN_AUDIO                                = 1213,
    TOKEN_DISPLAY                              = 1214,
    TOKEN_EMAIL                                = 1215,
    TOKEN_PROCEDURE                            = 1216,
    TOKEN_iCal_IanaWord_t                      = 1217,
    TOKEN_iCal_ClassValue_t                    = 1218,
    TOKEN_PUBLIC                               = 1219,
    TOKEN_PRIVATE                              = 1220,
    TOKEN_CONFIDENTIAL                         = 1221,
    TOKEN_iCal_FBParamList_t                   = 1222,
    TOKEN_iCal_FBValue_t                       = 1223,
    TOKEN_iCal_FB_t                            = 1224,
    TOKEN_FBTYPE                               = 1225,
    TOKEN_START                                = 1226,
    TOKEN_FREE                                 = 1227,
    TOKEN_BUSY                                 = 1228,
    TOKEN_BUSY_TENTATIVE                       = 1229,
    TOKEN_iCal_RdValue_t                       = 1230,
    TOKEN_iCal_RValue_t                        = 1231,
    TOKEN_iCal_RParamList_t                    = 1232,
    TOKEN_PARTSTAT                             = 1233,
    TOKEN_FREQ                                 = 1234,
    TOKEN_UNTIL                                = 1235,
    TOKEN_COUNT                                = 1236,
    TOKEN_INTERVAL                             = 1237,
    TOKEN_BYDAY                                = 1238,
    TOKEN_BYMONTHDAY                           = 1239,
    TOKEN_BYYEARDAY                            = 1240,
    TOKEN_BYSETPOS                             = 1241,
    TOKEN_BYWEEKNO                             = 1242,
    TOKEN_BYMONTH                              = 1243,
    TOKEN_WKST                                 = 1244,
    TOKEN_iCal_EndData_t                       = 1245,
    TOKEN_iCal_RInterval_t                     = 1246,
    TOKEN_iCal_BDWeekList_t                    = 1247,
    TOKEN_iCal_BMDayList_t                     = 1248,
    TOKEN_iCal_ByDayList_t                     = 1249,
    TOKEN_iCal_BSPList_t                       = 1250,
    TOKEN_iCal_BWDayList_t                     = 1251,
    TOKEN_iCal_BMList_t                        = 1252,
    TOKEN_iCal_Weekday_t                       = 1253,
    TOKEN_HOURLY                               = 1254,
    TOKEN_DAILY                                = 1255,
    TOKEN_WEEKLY                               = 1256,
    TOKEN_MONTHLY                              = 1257,
    TOKEN_YEARLY                               = 1258,
    TOKEN_iCal_OrdMoDay_t                      = 1259,
    TOKEN_iCal_OrdWk_t                         = 1260,
    TOKEN_iCal_OrdYrDay_t                      = 1261,
    TOKEN_iCal_DayNumber_t                     = 1262,
    TOKEN_SU                                   = 1263,
    TOKEN_MO                                   = 1264,
    TOKEN_TU                                   = 1265,
    TOKEN_WE                                   = 1266,
    TOKEN_TH                                   = 1267,
    TOKEN_FR                                   = 1268,
    TOKEN_SA                                   = 1269,
    TOKEN_iCal_BDWeekDayNum_t                  = 1270,
    TOKEN_iCal_BDWeekDayList_t                 = 1271,
    TOKEN_iCal_BMPosDay_t                      = 1272,
    TOKEN_iCal_BMNegDay_t                      = 1273,
    TOKEN_iCal_DayList_t                       = 1274,
    TOKEN_iCal_BWPosDay_t                      = 1275,
    TOKEN_iCal_BWNegDay_t                      = 1276,
    TOKEN_iCal_BDMonthDayList_t                = 1277,
    TOKEN_iCal_ByPosDay_t                      = 1278,
    TOKEN_iCal_ByNegDay_t                      = 1279,
    TOKEN_iCal_BMPosMon_t                      = 1280,
    TOKEN_RANGE                                = 1281,
    TOKEN_THISANDPRIOR                         = 1282,
    TOKEN_THISANDFUTURE                        = 1283,
    TOKEN_Nether_t                             = 1284,
    TOKEN_RELATED_TO                           = 1285,
    TOKEN_X_PARAM                              = 1286,
    TOKEN_RELTYPE                              = 1287,
    TOKEN_DURATION                             = 1288,
    TOKEN_SENT_BY                              = 1289,
    TOKEN_DIR                                  = 1290,
    TOKEN_CN                                   = 1291,
    TOKEN_BSTAT                                = 1292,
    TOKEN_TZID                                 = 1293,
    TOKEN_BINARY                               = 1294,
    TOKEN_SIBLING                              = 1295,
    TOKEN_CHILD                                = 1296,
    TOKEN_PARENT                               = 1297,
    TOKEN_iCal_StatValue_t                     = 1298,
    TOKEN_TENTATIVE                            = 1299,
    TOKEN_CONFIRMED                            = 1300,
    TOKEN_iCal_TransValue_t                    = 1301,
    TOKEN_TRANSPARENT                          = 1302,
    TOKEN_NOT_USED_ALT                         = 1303,
    TOKEN_iCal_AnyState_t                      = 1304,
    TOKEN_FTP                                  = 1305,
    TOKEN_HTTP                                 = 1306,
    TOKEN_GOPHER                               = 1307,
    TOKEN_MAILTO                               = 1308,
    TOKEN_NEWS                                 = 1309,
    TOKEN_NNTP                                 = 1310,
    TOKEN_TELNET                               = 1311,
    TOKEN_WAIS                                 = 1312,
    TOKEN_FILE                                 = 1313,
    TOKEN_PROSPERP                             = 1314,
    TOKEN_X_TAVO_EXTENSION                     = 1315,
    TOKEN_CHARSET                              = 1316,
    TOKEN_CALENDAR                             = 1317,
    TOKEN_CONTENT_PREFIX                       = 1318,
    TOKEN_CONTENT_ID                           = 1319,
    TOKEN_CONTACT                              = 1320,
    TOKEN_iCal_Atom_t                          = 1321,
    TOKEN_BUSY_UNAVAILABLE                     = 1322,
    TOKEN_IN_PROCESS                           = 1323,
    TOKEN_INFO                                 = 1324,
    TOKEN_X_TAVO_UPDATE_APPT                   = 1325,
    TOKEN_X_TAVO_CALENDAR_OWNER                = 1326,
    TOKEN_CID                                  = 1327,
    TOKEN_ENCODING                             = 1328,
    TOKEN_BASE64                               = 1329,
    TOKEN_8BIT                                 = 1330,
    TOKEN_iCal_UnkEncoding_t                   = 1331,
    TOKEN_URL                                  = 1332,
    TOKEN_SECONDLY                             = 1333,
    TOKEN_MINUTELY                             = 1334,
    TOKEN_BYSECOND                             = 1335,
    TOKEN_BYMINUTE                             = 1336,
    TOKEN_BYHOUR                               = 1337,
    TOKEN_OPAQUE                               = 1338,
    TOKEN_X_TAVO_CALENDAR_NAME                 = 1339,
    TOKEN_LOCALHOST                            = 1340,
    TOKEN_LDAP                                 = 1341,
    TOKEN_TAVOICAL_ALT                         = 1342,
    TOKEN_iCal_Attr_t                          = 1343,
    TOKEN_X_TAVO_USER_ACCESS                   = 1344,
    TOKEN_X_TAVO_LOOKUP_RANGE                  = 1345,
    TOKEN_CONTENT_TYPE                         = 1346,
    TOKEN_X_TAVO_USER                          = 1347,
    TOKEN_iMIP_t                               = 1348,
    TOKEN_X_TAVO_CDE_STATUS                    = 1349,
    TOKEN_X_TAVO_OPEN_CAL                      = 1350,
    TOKEN_X_TAVO_LIST_CALENDARS                = 1351,
    TOKEN_X_TAVO_GET_CALENDAR_ATTR             = 1352,
    TOKEN_X_TAVO_SET_CALENDAR_ATTR             = 1353,
    TOKEN_X_TAVO_PATTERN                       = 1354,
    TOKEN_ANONYMOUS_USER                       = 1355,
    TOKEN_WORLD                                = 1356,
    TOKEN_DATA                                 = 1357,
    TOKEN_iRIP_TryAuthenticate_t               = 1358,
    TOKEN_X_TAVO_AUTH_PAM                      = 1359,
    TOKEN_X_TAVO_AUTH_UNIX                     = 1360,
    TOKEN_PLAIN                                = 1361,
    TOKEN_SERVER_VERSION_2_0                   = 1362,
    TOKEN_SERVER_VERSION_2_0_1                 = 1363,
    TOKEN_SERVER_VERSION_2_0_2                 = 1364,
    TOKEN_SERVER_VERSION_6_0                   = 1365,
    TOKEN_SERVER_VERSION_6_1                   = 1366,
    TOKEN_SERVER_VERSION_6_2                   = 1367,
    TOKEN_SERVER_VERSION_6_3                   = 1368,
    TOKEN_SERVER_VERSION_7_0                   = 1369,
    TOKEN_SERVER_VERSION_8_0                   = 1370,
    TOKEN_SERVER_VERSION_8_1                   = 1371,
    TOKEN_SERVER_VERSION_9_0                   = 1372,
    TOKEN_SERVER_VERSION_10_0                  = 1373,
    TOKEN_SERVER_VERSION_10_1                  = 1374,
    TOKEN_DISCONNECTED                         = 1375,
    TOKEN_iCal_Authenticated_t                 = 1376,
    TOKEN_X_TAVO_CHARSET                       = 1377,
    TOKEN_IRIPREV1                             = 1378,
    TOKEN_AUTH                                 = 1379,
    TOKEN_X_TAVO_NUMBER_ENTRIES                = 1380,
    TOKEN_X_TAVO_FLASHING                      = 1381,
    TOKEN_FMTTYPE                              = 1382,
    TOKEN_XML_CLOSE_ICALENDAR                  = 1383,
    TOKEN_XML_CLOSE_VCALENDAR                  = 1384,
    TOKEN_XML_CLOSE_ICAL                       = 1385,
    TOKEN_XML_CLOSE_EVENT                      = 1386,
    TOKEN_XML_CLOSE_TODO                       = 1387,
    TOKEN_XML_CLOSE_JOURNAL                    = 1388,
    TOKEN_XML_CLOSE_FREEBUSY                   = 1389,
    TOKEN_XML_CLOSE_TIMEZONE                   = 1390,
    TOKEN_XML_CLOSE_DAYLIGHT                   = 1391,
    TOKEN_XML_CLOSE_STANDARD                   = 1392,
    TOKEN_XML_CLOSE_ALARM                      = 1393,
    TOKEN_XML_CLOSE_X                          = 1394,
    TOKEN_XML_ICALENDAR                        = 1395,
    TOKEN_XML_ICAL                             = 1396,
    TOKEN_XML_EVENT                            = 1397,
    TOKEN_XML_TODO                             = 1398,
    TOKEN_XML_JOURNAL                          = 1399,
    TOKEN_XML_FREEBUSY                         = 1400,
    TOKEN_XML_TIMEZONE                         = 1401,
    TOKEN_XML_STANDARD                         = 1402,
    TOKEN_XML_DAYLIGHT                         = 1403,
    TOKEN_XML_ALARM                            = 1404,
    TOKEN_XML_RSTATUS                          = 1405,
    TOKEN_XML_LAST_MOD                         = 1406,
    TOKEN_XML_SEQ                              = 1407,
    TOKEN_XML_RECURID                          = 1408,
    TOKEN_XML_RELATED                          = 1409,
    TOKEN_XML_END                              = 1410,
    TOKEN_XML_START                            = 1411,
    TOKEN_XML_FBDATA                           = 1412,
    TOKEN_XML_PERCENT                          = 1413,
    TOKEN_XML_DESC                             = 1414,
    TOKEN_XML_SENTBY                           = 1415,
    TOKEN_XML_RELTYPE                          = 1416,
    TOKEN_XML_LANG                             = 1417,
    TOKEN_XML_DELTO                            = 1418,
    TOKEN_XML_DELFROM                          = 1419,
    TOKEN_X_KVAL_TZCROSS                       = 1420,
    TOKEN_X_KVAL_LANGUAGE                      = 1421,
    TOKEN_X_KVAL_CHARSET                       = 1422,
    TOKEN_X_KVAL_CALPROPS_LAST_MODIFIED        = 1423,
    TOKEN_X_KVAL_CALPROPS_CREATED              = 1424,
    TOKEN_X_KVAL_CALPROPS_READ                 = 1425,
    TOKEN_X_KVAL_CALPROPS_WRITE                = 1426,
    TOKEN_X_KVAL_CALPROPS_DESCRIPTION          = 1427,
    TOKEN_X_KVAL_CALPROPS_PARENT_CALID         = 1428,
    TOKEN_X_KVAL_CALPROPS_RELATIVE_CALID       = 1429,
    TOKEN_X_KVAL_CALPROPS_CALMASTER            = 1430,
    TOKEN_X_KVAL_CALPROPS_NAME                 = 1431,
    TOKEN_X_KVAL_CALPROPS_CHARSET              = 1432,
    TOKEN_X_KVAL_CALPROPS_LANGUAGE             = 1433,
    TOKEN_X_KVAL_CALPROPS_PRIMARY_OWNER        = 1434,
    TOKEN_X_KVAL_CALPROPS_TZID                 = 1435,
    TOKEN_X_KVAL_CALPROPS_OWNERS               = 1436,
    TOKEN_X_KVAL_CALPROPS_CHILDREN             = 1437,
    TOKEN_X_KVAL_CALPROPS_CATEGORIES           = 1438,
    TOKEN_X_KVAL_CALPROPS_ACCESS_CONTROL_ENTRY = 1439,
    TOKEN_X_KVAL_LINK_CALID                    = 1440,
    TOKEN_X_KVAL_GSE_COMPONENT_STATE           = 1441,
    TOKEN_X_KVAL_ORGANIZER_EMAIL               = 1442,
    TOKEN_X_KVAL_ORGANIZER_UID                 = 1443,
    TOKEN_X_KVAL_ORGANIZER_SENT_BY_UID         = 1444,
    TOKEN_X_KVAL_ORIGINAL_DTSTART              = 1445,
    TOKEN_X_KVAL_CALPROPS_RESOURCE             = 1446,
    TOKEN_X_KVAL_ATTENDEE_GSE_STATUS           = 1447,
    TOKEN_X_KVAL_DTSTART_TZID                  = 1448,
    TOKEN_SENT_STATUS                          = 1449,
    TOKEN_SENT_SUCCEEDED                       = 1450,
    TOKEN_NOT_SENT                             = 1451,
    TOKEN_X_TAVO_SENT_STATUS                   = 1452,
    TOKEN_X_Z9KQ_TZID_ALIAS                    = 1453,
    TOKEN_X_Z9KQ_RECURRENCE_RDATELIST          = 1454,
    TOKEN_X_Z9KQ_RECURRENCE_EXDATELIST         = 1455,
    TOKEN_X_Z9KQ_RECURRENCE_COUNT              = 1456,
    TOKEN_X_Z9KQ_RECURRENCE_UNTIL              = 1457,
    TOKEN_X_Z9KQ_ATTENDEE_RDATELIST            = 1458,
    TOKEN_X_Z9KQ_ATTENDEE_EXDATELIST           = 1459,
    TOKEN_X_Z9KQ_CALID                         = 1460,
    TOKEN_X_Z9KQ_EMAIL                         = 1461,
    TOKEN_X_KVAL_TOMBSTONE                     = 1462,
    TOKEN_X_KVAL_ONGOING                       = 1463,
    TOKEN_X_KVAL_DUE_TZID                      = 1464,
} iCal_Token_t;

#ifdef __cplusplus
extern "C" {
#endif

/* The keyword hash of the first `len` bytes of `s` (bytes taken as signed char,
 * h = h * 37 + byte in 32-bit unsigned arithmetic). Texts of 128 bytes or more are
 * sampled at every (len / 64)-th byte. Never 0: a result of 0 becomes 1, and so
 * does an empty or NULL text. */
CALPARSER_API
unsigned hashCodeWithLen(const char* s, unsigned len);
/* hashCodeWithLen over the whole NUL-terminated `s`. */
CALPARSER_API
unsigned hashCode(const char* s);

/* The text of value `n`: a constant string owned by the table, or NULL for a
 * value that is not defined (including any value outside 0 to 1465). */
CALPARSER_API
const char* calparser_getICALString(iCal_Token_t n);

/* Look-ups that take `len` hash the first `len` bytes of `s`; the others hash the
 * whole NUL-terminated `s`. A NULL `s` matches nothing. The "x- rule": a text that
 * matched nothing, is at least 2 characters long (measured on the whole string)
 * and begins with "x-" or "X-" yields the extension value. */

/* Property name: a property keyword, BEGIN or END; the X-KVAL-TZCROSS and
 * X-Z9KQ-... list, count and alias names also when written in any letter case;
 * the X-KVAL-... names the library stores. Else x- rule TOKEN_X (1019), else 0. */
CALPARSER_API
iCal_Token_t calparser_getPropType(const char* s, unsigned len);
/* XML tag name. Sets *pnType and *pnValue and returns *pnType: component tags give
 * TOKEN_BEGIN or TOKEN_END with the component in *pnValue ("ICALENDAR" and
 * "/ICALENDAR" give 0 with TOKEN_XML_ICAL); abbreviated property tags give their
 * property with *pnValue 0; any other tag gives calparser_getPropType(s, len) with
 * *pnValue 0. A NULL output pointer is skipped. */
CALPARSER_API
iCal_Token_t calparser_getXMLPropType(const char* s, unsigned len,
                                      iCal_Token_t* pnType, iCal_Token_t* pnValue);
/* Parameter name; x- rule TOKEN_X_PARAM (1286), else 0. */
CALPARSER_API
iCal_Token_t calparser_getParamType(const char* s);
/* XML attribute name: the abbreviations SENTBY, RELTYPE (TOKEN_RELATED), LANG,
 * DELTO and DELFROM, else calparser_getParamType(s). */
CALPARSER_API
iCal_Token_t calparser_getXMLParamType(const char* s);
/* Recurrence-rule part name (FREQ ... WKST); x- rule TOKEN_X_PARAM, else 0. */
CALPARSER_API
iCal_Token_t calparser_getRecurrenceParamType(const char* s);
/* METHOD value (PUBLISH ... DECLINECOUNTER), else 0. */
CALPARSER_API
iCal_Token_t calparser_getMethodType(const char* s, unsigned len);
/* BEGIN/END value (VCALENDAR ... VALARM, DAYLIGHT, STANDARD); x- rule TOKEN_X,
 * else 0. */
CALPARSER_API
iCal_Token_t calparser_getComponentType(const char* s, unsigned len);
/* ACTION value (AUDIO, DISPLAY, EMAIL, PROCEDURE), else 0. */
CALPARSER_API
iCal_Token_t calparser_getActionType(const char* s, unsigned len);
/* CLASS value (PUBLIC, PRIVATE, CONFIDENTIAL), else 0. */
CALPARSER_API
iCal_Token_t calparser_getClassType(const char* s, unsigned len);
/* STATUS value (TENTATIVE, CONFIRMED, CANCELLED, NEEDS-ACTION, COMPLETED,
 * IN-PROCESS, DRAFT, METHOD), else 0. */
CALPARSER_API
iCal_Token_t calparser_getStatusType(const char* s, unsigned len);
/* TRANSP value (TRANSPARENT, OPAQUE), else 0. */
CALPARSER_API
iCal_Token_t calparser_getTranspType(const char* s, unsigned len);

/* The last four give the small attendee and zone codes of the records, not
 * iCal_Token_t values. */

/* RSVP value: 1 for "TRUE", else 0. */
CALPARSER_API
int calparser_getRSVPType(const char* s);
/* SENT-STATUS value: 2 for "SENT-SUCCEEDED", 0 for "NOT-SENT" and anything else. */
CALPARSER_API
int calparser_getSentStatusType(const char* s);
/* PARTSTAT value: NEEDS-ACTION 1, ACCEPTED 2, DECLINED 3, TENTATIVE 4,
 * DELEGATED 5, COMPLETED 6, IN-PROCESS 8; anything else 9. */
CALPARSER_API
int calparser_getPartStatType(const char* s);
/* The reverse: the PARTSTAT text of one of those seven codes (a constant of
 * the keyword table), NULL for any other code (0, 9, ...). */
CALPARSER_API
const char* calparser_getPartStatName(int nPartStat);
/* Weekday: SU 1, MO 2, TU 3, WE 4, TH 5, FR 6, SA 7. Anything else returns 1 and
 * sets *pnError to 1 (when pnError is not NULL); a weekday leaves *pnError alone. */
CALPARSER_API
int calparser_stringToDay(const char* s, unsigned len, int* pnError);

#ifdef __cplusplus
}

/* The process-wide keyword table: for every value its text and the hash of that
 * text (values that share a text share a hash), and the keyword lists of the
 * look-ups, each sorted by hash. The plain calparser_ functions above call the
 * members of Instance(). Only the instance is exported from the shared library:
 * programs call the plain functions. */
class CALPARSER_STR {
public:
    /* Entries of the text and hash tables: values 0 to 1465. */
    static constexpr unsigned kTableSize = 1466;

    /* The one table, created on the first call (safe even when several threads
     * make that call at once) and never destroyed. Never NULL: the table lives in
     * static storage, so its creation cannot fail. */
    CALPARSER_API static CALPARSER_STR* Instance();
    /* The instance Instance() created, or NULL before the first call. */
    CALPARSER_API static CALPARSER_STR* m_Instance;

    ~CALPARSER_STR() {}

    const char* getICALString(iCal_Token_t n) const;
    iCal_Token_t getPropType(const char* s, unsigned len) const;
    iCal_Token_t getXMLPropType(const char* s, unsigned len,
                                iCal_Token_t* pnType, iCal_Token_t* pnValue) const;
    iCal_Token_t getParamType(const char* s) const;
    iCal_Token_t getXMLParamType(const char* s) const;
    iCal_Token_t getRecurrenceParamType(const char* s) const;
    iCal_Token_t getMethodType(const char* s, unsigned len) const;
    iCal_Token_t getComponentType(const char* s, unsigned len) const;
    iCal_Token_t getActionType(const char* s, unsigned len) const;
    iCal_Token_t getClassType(const char* s, unsigned len) const;
    iCal_Token_t getStatusType(const char* s, unsigned len) const;
    iCal_Token_t getTranspType(const char* s, unsigned len) const;
    int getRSVPType(const char* s) const;
    int getSentStatusType(const char* s) const;
    int getPartStatType(const char* s) const;
    int stringToDay(const char* s, unsigned len, int* pnError) const;

    CALPARSER_STR(const CALPARSER_STR&) = delete;
    CALPARSER_STR& operator=(const CALPARSER_STR&) = delete;

    /* How the keyword lists are written down (cal_str.cpp): the keyword whose
     * text's hash is matched, and the look-up's results for it. */
    struct KeywordRule;
    /* Room for the keywords of all look-up lists together. */
    static constexpr unsigned kMaxMatches = 256;

private:
    /* One keyword of a look-up list: its hash and what the look-up returns. */
    struct KeywordMatch {
        unsigned hash;
        int result;
        int value; /* second result: the component of an XML tag, else 0 */
    };
    /* A look-up list: a stretch of m_Matches sorted by hash, then by the order
     * in which its keywords are listed. */
    struct KeywordList {
        unsigned first;
        unsigned count;
    };
    enum ListId {
        kPropList, kPropStoredXList, kXmlPropList, kParamList, kXmlParamList,
        kRecurrenceList, kMethodList, kComponentList, kActionList, kClassList,
        kStatusList, kTranspList, kRsvpList, kSentStatusList, kPartStatList,
        kDayList, kListCount
    };

    CALPARSER_STR();
    static CALPARSER_STR* createInstance();
    void fillTexts();
    void addOwnList(ListId id, const iCal_Token_t* keywords, unsigned count);
    void addList(ListId id, const KeywordRule* rules, unsigned count);
    void addMatch(ListId id, const KeywordRule& rule);
    const KeywordMatch* find(ListId id, unsigned hash) const;
    int lookup(ListId id, const char* s, unsigned len, int noMatch) const;
    iCal_Token_t lookupOrExtension(ListId id, const char* s, unsigned len,
                                   iCal_Token_t extension) const;
    bool equalsIgnoringCase(iCal_Token_t keyword, const char* s, unsigned len) const;

    const char* m_Strings[kTableSize];
    unsigned m_Hashes[kTableSize];
    KeywordMatch m_Matches[kMaxMatches];
    unsigned m_MatchCount;
    KeywordList m_Lists[kListCount];
};
#endif

#endif
