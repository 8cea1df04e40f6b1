#include "core/ftp/ftperrors.h"

namespace FtpError {

QString messageText(int code)
{
    switch (code) {
    case None:
        return QStringLiteral("処理は正常に終了しました。");
    case FileNotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case PathNotFound:
        return QStringLiteral("フォルダーが見つかりません。");
    case AccessDenied:
        return QStringLiteral("アクセスが拒否されました。");
    case NoMoreFiles:
        return QStringLiteral("これ以上ファイルはありません。");
    case WriteFault:
        return QStringLiteral("ファイルに書き込めません。");
    case ReadFault:
        return QStringLiteral("ファイルを読み込めません。");
    case FileExists:
        return QStringLiteral("ファイルは既に存在します。");
    case DiskFull:
        return QStringLiteral("ディスクの空き領域が不足しています。");
    case InvalidName:
        return QStringLiteral("ファイル名に使えない文字（改行など）が含まれています。");
    case Timeout:
        return QStringLiteral("操作がタイムアウトしました。");
    case ExtendedError:
        return QStringLiteral("サーバーがエラーを返しました。");
    case InternalError:
        return QStringLiteral("内部エラーが発生しました。");
    case InvalidUrl:
        return QStringLiteral("サーバー名またはプロキシの指定が正しくありません。");
    case UnrecognizedScheme:
        return QStringLiteral("サーバー名の形式（ftp://、ftpes://、ftps://）を認識できません。");
    case NameNotResolved:
        return QStringLiteral("サーバー名を解決できませんでした。");
    case BadUserName:
        return QStringLiteral("ユーザー名が正しくありません。");
    case BadPassword:
        return QStringLiteral("パスワードが正しくありません。");
    case OperationCancelled:
        return QStringLiteral("操作は取り消されました。");
    case IncorrectHandleState:
        return QStringLiteral("サーバーに接続していません。");
    case CannotConnect:
        return QStringLiteral("サーバーに接続できませんでした。");
    case ConnectionAborted:
        return QStringLiteral("サーバーとの接続が切れました。");
    case ConnectionReset:
        return QStringLiteral("サーバーとの接続がリセットされました。");
    case SecCertDateInvalid:
        return QStringLiteral("サーバーの証明書の有効期限が切れているか、まだ有効ではありません。");
    case SecCertCnInvalid:
        return QStringLiteral("サーバーの証明書の名前がサーバー名と一致しません。");
    case SecInvalidCert:
        return QStringLiteral("サーバーの証明書を信頼できません。");
    case SecureFailure:
        return QStringLiteral("暗号化（TLS）の通信に失敗しました。");
    case TransferInProgress:
        return QStringLiteral("他の操作を実行中のため、この操作はできません。");
    case FtpDropped:
        return QStringLiteral("FTP の接続が切断されました。");
    case InvalidServerResponse:
        return QStringLiteral("サーバーの応答が正しくありません。");
    case ProxyFailure:
        return QStringLiteral("プロキシサーバー経由で接続できませんでした。");
    default:
        return QString();
    }
}

} // namespace FtpError
