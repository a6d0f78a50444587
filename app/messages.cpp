#include "messages.h"

const char kSetupTitleFormat[] = "%s インストール";

const char kUpgradeRequiredText[] =
    "%s がインストールされています。\n\n"
    "このバージョンには対応していない為、データベースのアップグレードが必要です。\n"
    "アップグレード手順については、Q&Aを確認するか、サポートセンターまでご連絡下さい。";

const char kAlreadyInstalledText[] =
    "既に %s がインストールされている為、データベースのインストールは不要です。\n\n"
    "データベースを入れ直す場合は、事前にデータのバックアップを取って下さい。";

const char kInstallFailedText[] =
    "%s がインストールできませんでした。\n\n"
    "インストール前に、コンピュータの再起動が必要となる場合があります。\n"
    "再起動後に、もう一度インストールをお試しください。";

const char kRestartQuestion[] =
    "インストールが正常に終了しました。\n"
    "コンピュータを再起動する必要があります。\n"
    "今、再起動しますか？";
