#include "InetError.h"

#include <curl/curl.h>

namespace quorvel {

InetError InetErrorFromCurlCode(int curlCode) {
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK:
        return InetError::kNone;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return InetError::kUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
        return InetError::kInvalidUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return InetError::kNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
    case CURLE_INTERFACE_FAILED:
        return InetError::kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return InetError::kTimeout;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return InetError::kConnectionAborted;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return InetError::kConnectionReset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_FILESIZE_EXCEEDED:
        return InetError::kInvalidServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
        return InetError::kRedirectFailed;
    case CURLE_LOGIN_DENIED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_AUTH_ERROR:
        return InetError::kLoginFailure;
    case CURLE_PEER_FAILED_VERIFICATION:
        return InetError::kCertificateInvalid;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
        return InetError::kSecureFailure;
    case CURLE_ABORTED_BY_CALLBACK:
        return InetError::kOperationCancelled;
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return InetError::kItemNotFound;
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_FTP_COULDNT_SET_TYPE:
        return InetError::kExtendedError;
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
        return InetError::kFtpDropped;
    default:
        return InetError::kInternal;
    }
}

InetError InetErrorFromCurlUrlCode(int urlCode) {
    switch (static_cast<CURLUcode>(urlCode)) {
    case CURLUE_OK:
        return InetError::kNone;
    case CURLUE_UNSUPPORTED_SCHEME:
    case CURLUE_BAD_SCHEME:
    case CURLUE_NO_SCHEME:
        return InetError::kUnrecognizedScheme;
    case CURLUE_OUT_OF_MEMORY:
        return InetError::kInternal;
    default:
        return InetError::kInvalidUrl;
    }
}

std::string InetErrorText(InetError code) {
    switch (code) {
    case InetError::kNone:
        return "The operation completed successfully";
    case InetError::kTimeout:
        return "The operation timed out";
    case InetError::kInternal:
        return "An internal error occurred in the internet layer";
    case InetError::kInvalidUrl:
        return "The URL is invalid";
    case InetError::kUnrecognizedScheme:
        return "The URL does not use a recognized protocol";
    case InetError::kNameNotResolved:
        return "The server name or address could not be resolved";
    case InetError::kLoginFailure:
        return "The login request was denied";
    case InetError::kOperationCancelled:
        return "The operation was cancelled";
    case InetError::kExtendedError:
        return "The server refused the request";
    case InetError::kItemNotFound:
        return "The requested item could not be found on the server";
    case InetError::kFtpDropped:
        return "The FTP data connection could not be made or was lost";
    case InetError::kCannotConnect:
        return "A connection with the server could not be established";
    case InetError::kConnectionAborted:
        return "The connection with the server was terminated abnormally";
    case InetError::kConnectionReset:
        return "The connection with the server was reset";
    case InetError::kRedirectFailed:
        return "The redirection failed: too many redirects, or a redirect to a protocol other than HTTP";
    case InetError::kInvalidServerResponse:
        return "The server returned an invalid or unrecognized response";
    case InetError::kSecureFailure:
        return "A secure connection with the server could not be established";
    case InetError::kCertificateInvalid:
        return "The server's certificate could not be verified: it is not issued by a trusted authority, "
               "not valid for the server's name, or expired";
    default:
        return "Unknown internet error " + std::to_string(static_cast<int>(code));
    }
}

} // namespace quorvel
