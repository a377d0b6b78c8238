#pragma once

#include <array>

namespace quorv::core {

struct MessageDefault {
    const char* key;
    const char* text;  // UTF-8
};

// The message keys in their fixed order, with the built-in Korean texts: the seventeen of
// the commands and dialogs, then the warning about profiles the data file could not give
// and the refusal of an address list too long for its column, then the texts of profiles
// whose connection this machine does not have and of sections an import left out.
inline constexpr std::array<MessageDefault, 25> kMessageDefaults{{
    {"msgNewItem", "새 항목"},
    {"msgNewName", "이름 설정"},
    {"msgName", "이름"},
    {"msgAlreadyExists", "동일한 이름이 존재합니다!\r\n다른 이름을 지정해 주세요!"},
    {"msgOK", "확인"},
    {"msgDeleteSure", "선택된 항목을 삭제 하시겠습니까?"},
    {"msgAlreadyUpdate",
     "이름의 데이터가 이미 동록되어 있습니다!\r\n새로 수정해서 저장 하시겠습니까!"},
    {"msgReadInterface", "네트워크 어뎁터 정보 읽는 중..."},
    {"msgReadPrinter", "시스템에 설치된 프린터 정보를 읽는 중..."},
    {"msgWrongIP", "IP 설정을 확인하세요!"},
    {"msgWrongMask", "서브넷 마스크 설정을 확인하세요!"},
    {"msgEmptyIP", "IP 주소가 한개 이상 등록되어야 합니다!"},
    {"msgChangeIP", "IP 설정 중..."},
    {"msgChangeGateway", "Gateway 설정 중..."},
    {"msgChangeDNS", "DNS 설정 중..."},
    {"msgChangeScript", "스크립트 실행 중..."},
    {"msgChangePrinter", "기본 프린터 설정 중..."},
    {"msgDamagedProfiles",
     "데이터 파일에서 프로필 %1개를 읽을 수 없습니다.\r\n"
     "파일을 검사하려면 quorv-store check 명령을 실행하세요."},
    {"msgIPListTooLong",
     "IP 주소 또는 서브넷 마스크 목록이 너무 깁니다!\r\n각 목록은 256자까지 저장할 수 있습니다."},
    {"msgUnknownConnection",
     "프로필 %1은(는) 이 컴퓨터에 없는 연결 %2을(를) 사용합니다.\r\n"
     "이 컴퓨터의 어댑터: %3\r\n"
     "프로필을 편집해서 어댑터를 지정하세요 (IP 설정 창 또는 qic edit %1 --interface IF)."},
    {"msgImportAttention",
     "가져온 다음 프로필은 이 컴퓨터에 없는 연결을 사용합니다. 적용하기 전에 IP 설정 창에서 "
     "어댑터를 지정하세요:"},
    {"msgAdaptersHere", "이 컴퓨터의 어댑터: %1"},
    {"msgImportSkipped", "다음 항목은 가져오지 않았습니다:"},
    {"msgKeepConnection", "그대로 두기"},
    {"msgMapConnections",
     "이 컴퓨터에 없는 연결 이름입니다. 각 이름에 사용할 어댑터를 선택하세요 (그 이름을 쓰는 "
     "모든 프로필에 적용됩니다):"},
}};

}  // namespace quorv::core
