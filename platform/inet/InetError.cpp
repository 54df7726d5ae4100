#include "InetError.h"

#include <curl/curl.h>

namespace quorvel {

namespace InetError {

int FromCurlCode(int curlCode) {
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK:
        return kNone;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return kUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
        return kInvalidUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return kNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
    case CURLE_INTERFACE_FAILED:
        return kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return kTimeout;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return kConnectionAborted;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return kConnectionReset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_FILESIZE_EXCEEDED:
        return kInvalidServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
        return kRedirectFailed;
    case CURLE_LOGIN_DENIED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_AUTH_ERROR:
        return kLoginFailure;
    case CURLE_PEER_FAILED_VERIFICATION:
        return kCertificateInvalid;
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
        return kSecureFailure;
    case CURLE_ABORTED_BY_CALLBACK:
        return kOperationCancelled;
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return kItemNotFound;
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_FTP_COULDNT_SET_TYPE:
        return kExtendedError;
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
        return kFtpDropped;
    default:
        return kInternal;
    }
}

int FromCurlUrlCode(int urlCode) {
    switch (static_cast<CURLUcode>(urlCode)) {
    case CURLUE_OK:
        return kNone;
    case CURLUE_UNSUPPORTED_SCHEME:
    case CURLUE_BAD_SCHEME:
    case CURLUE_NO_SCHEME:
        return kUnrecognizedScheme;
    case CURLUE_OUT_OF_MEMORY:
        return kInternal;
    default:
        return kInvalidUrl;
    }
}

std::string Text(int code) {
    switch (code) {
    case kNone:
        return "The operation completed successfully";
    case kTimeout:
        return "The operation timed out";
    case kInternal:
        return "An internal error occurred in the internet layer";
    case kInvalidUrl:
        return "The URL is invalid";
    case kUnrecognizedScheme:
        return "The URL does not use a recognized protocol";
    case kNameNotResolved:
        return "The server name or address could not be resolved";
    case kLoginFailure:
        return "The login request was denied";
    case kOperationCancelled:
        return "The operation was cancelled";
    case kExtendedError:
        return "The server refused the request";
    case kItemNotFound:
        return "The requested item could not be found on the server";
    case kFtpDropped:
        return "The FTP data connection could not be made or was lost";
    case kCannotConnect:
        return "A connection with the server could not be established";
    case kConnectionAborted:
        return "The connection with the server was terminated abnormally";
    case kConnectionReset:
        return "The connection with the server was reset";
    case kRedirectFailed:
        return "The redirection failed: too many redirects, or a redirect to a protocol other than HTTP";
    case kInvalidServerResponse:
        return "The server returned an invalid or unrecognized response";
    case kSecureFailure:
        return "A secure connection with the server could not be established";
    case kCertificateInvalid:
        return "The server's certificate could not be verified: it is not issued by a trusted authority, "
               "not valid for the server's name, or expired";
    default:
        return "Unknown internet error " + std::to_string(code);
    }
}

} // namespace InetError

} // namespace quorvel
