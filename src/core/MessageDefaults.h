#pragma once

#include <array>

namespace quorv::core {

struct MessageDefault {
    const char* key;
    const char* text;  // UTF-8
};

// The message keys in their fixed order, with the built-in Korean texts: the seventeen of
// the commands and dialogs, then the warning about profiles the data file could not give
// and the refusal of an address list too long for its column, then the texts of the
// shared value checks, the name rules and the connection list.
inline constexpr std::array<MessageDefault, 29> kMessageDefaults{{
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
    {"msgIncompleteAddress", "%1: 주소가 완전하지 않습니다!\r\n네 칸을 모두 입력하세요."},
    {"msgWrongGateway", "기본 게이트웨이 설정을 확인하세요!"},
    {"msgWrongDNS", "DNS 서버 설정을 확인하세요!"},
    {"msgEmptyName", "이름을 입력하세요!"},
    {"msgNameCut", "이름이 너무 길어 다음과 같이 저장됩니다:\r\n%1"},
    {"msgLinkUp", "연결됨"},
    {"msgLinkDown", "연결 끊김"},
    {"msgLinkOff", "사용 안 함"},
    {"msgLinkAbsent", "이 컴퓨터에 없음"},
    {"msgConnectionNone", "(연결 지정 안 됨)"},
}};

}  // namespace quorv::core
