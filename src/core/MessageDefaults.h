#pragma once

#include <array>

namespace quorv::core {

struct MessageDefault {
    const char* key;
    const char* text;  // UTF-8
};

// The message keys in their fixed order, with the built-in Korean texts: the seventeen of
// the commands and dialogs, then the warning about profiles the data file could not give,
// the refusal of an address list too long for its column, and the words of the apply run's
// failure list (%1: the value named).
inline constexpr std::array<MessageDefault, 27> kMessageDefaults{{
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
    {"msgApplyIncomplete", "프로필이 완전히 적용되지 않았습니다. 다음 단계가 실패했습니다:"},
    {"msgNotStarted", "실행할 수 없습니다"},
    {"msgNotStartedBecause", "실행할 수 없습니다: %1"},
    {"msgExitCode", "종료 코드 %1(으)로 끝났습니다"},
    {"msgNotAuthorized", "관리자 권한이 필요하지만 허가되지 않았습니다: %1"},
    {"msgNotRun", "앞의 명령이 실패하여 실행되지 않았습니다: %1"},
    {"msgNoDhcpLease", "%1에서 아직 DHCP 서버로부터 주소를 받지 못했습니다"},
    {"msgPrinterNotSet", "프린터 \"%1\"을(를) 기본 프린터로 설정할 수 없습니다."},
}};

}  // namespace quorv::core
