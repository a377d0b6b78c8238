#pragma once

#include <array>
#include <string_view>

namespace quorv::core {

struct MessageDefault {
    const char* key;
    const char* text;  // UTF-8
};

// The message keys in their fixed order, with the built-in Korean texts: those of the
// commands and dialogs first; later keys are added at the end.
inline constexpr auto kMessageDefaults = std::to_array<MessageDefault>({
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
    {"msgNoPolkitDaemon",
     "권한을 판단할 polkit 데몬이 실행되고 있지 않습니다 "
     "(polkit 서비스를 시작하거나 관리자(root)로 실행하세요)"},
    {"msgNoPolkitAgent",
     "이 세션에서 암호를 물어볼 인증 에이전트가 실행되고 있지 않습니다 "
     "(데스크톱의 polkit 에이전트를 시작하거나 관리자(root)로 실행하세요)"},
    {"msgInForce", "%1 어뎁터에 지금 적용되어 있는 설정입니다."},
    {"msgNoAddress", "주소 없음"},
    {"msgCaptureAdapter", "설정을 가져올 어뎁터:"},
    {"msgNoCaptureAdapter", "IP 설정을 가진 네트워크 어뎁터가 없습니다!"},
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
    {"msgProfileGone",
     "'%1' 항목이 데이터 파일에 더 이상 없습니다.\r\n"
     "다른 프로그램이 이름을 바꾸었거나 삭제했습니다. 목록을 다시 읽었습니다."},
    {"msgApplied", "'%1' 설정을 %2에 적용했습니다 (%3)."},
    {"msgOpenAddress", "웹 브라우저를 열 수 없습니다.\r\n다음 주소를 직접 여십시오:\r\n%1"},
    {"msgApplyIncomplete", "프로필이 완전히 적용되지 않았습니다. 다음 단계가 실패했습니다:"},
    {"msgNotStarted", "실행할 수 없습니다"},
    {"msgNotStartedBecause", "실행할 수 없습니다: %1"},
    {"msgExitCode", "종료 코드 %1(으)로 끝났습니다"},
    {"msgNotAuthorized", "관리자 권한이 필요하지만 허가되지 않았습니다: %1"},
    {"msgNotRun", "앞의 명령이 실패하여 실행되지 않았습니다: %1"},
    {"msgNoDhcpLease", "%1에서 아직 DHCP 서버로부터 주소를 받지 못했습니다"},
    {"msgPrinterNotSet", "프린터 \"%1\"을(를) 기본 프린터로 설정할 수 없습니다."},
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
    // The question after a safe apply, and what the restore reports.
    {"msgCheckSettings", "새 설정 확인 중..."},
    {"msgKeepSettings", "이 설정을 유지하시겠습니까?"},
    {"msgGatewayAnswers", "게이트웨이 %1: 응답함"},
    {"msgGatewayNoAnswer", "게이트웨이 %1: 응답 없음"},
    {"msgDnsAnswers", "DNS %1: 응답함"},
    {"msgDnsNoAnswer", "DNS %1: 응답 없음"},
    {"msgKeepCountdown", "%1초 후에 이전 설정으로 되돌아갑니다."},
    {"msgKeepScriptNote", "프로필의 스크립트 명령은 되돌려지지 않습니다."},
    {"msgKeepButton", "유지(&K)"},
    {"msgRestoreButton", "지금 되돌리기(&R)"},
    {"msgRestored", "%1의 이전 설정을 복원했습니다: %2."},
    {"msgRestoreFailed", "%1의 이전 설정을 복원할 수 없습니다: %2"},
    {"msgSnapshotFailed", "현재 설정의 스냅샷을 만들 수 없어 아무것도 바꾸지 않았습니다: %1"},
    {"msgNoSnapshot", "설정은 바뀌었지만 netsh가 되돌아갈 스냅샷을 남기지 않았습니다"},
    {"msgKeepFailed", "%1의 새 설정을 유지하지 못했습니다. 곧 이전 설정으로 돌아갑니다: %2"},
    {"msgRestoredAddress", "IP 주소"},
    {"msgRestoredGateway", "게이트웨이"},
    {"msgRestoredDns", "DNS 서버"},
    {"msgRestoredPrinter", "기본 프린터 %1"},
    {"msgKept", "%1의 새 설정을 유지합니다."},
});

// The built-in text of a key; empty for an unknown key.
constexpr const char* BuiltInText(std::string_view key) {
    for (const MessageDefault& message : kMessageDefaults) {
        if (key == message.key) {
            return message.text;
        }
    }
    return "";
}

}  // namespace quorv::core
