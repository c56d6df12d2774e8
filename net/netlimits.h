/* Named limits and defaults of the agent's WinHTTP client, with their units:
 * the request engine's retries and waits, the security settings it applies,
 * the sizes of its buffers and the result codes that the downloads add to
 * the Windows error codes. */
#ifndef VQ_NET_NETLIMITS_H
#define VQ_NET_NETLIMITS_H

/* The user agent of every request. */
#define VQ_NET_USER_AGENT L"VelquinAgent"

/* Send attempts per opened request (the counter starts at 0). */
#define VQ_NET_MAX_SEND_ATTEMPTS 5

/* Wait before a request is resent on the same handle after the server asked
 * for a resend, in milliseconds. */
#define VQ_NET_RESEND_WAIT_MS 5000u

/* Time-outs when the agent's registry names none, in milliseconds. */
#define VQ_NET_DEFAULT_CONNECT_TIMEOUT_MS 30000u
#define VQ_NET_DEFAULT_REQUEST_TIMEOUT_MS 60000u

/* TLS 1.0, 1.1 and 1.2: set on Windows 7 and 8, whose defaults lack 1.1 and
 * 1.2. */
#define VQ_NET_SECURE_PROTOCOLS 0x00000A80u

/* Unknown authority, wrong usage, wrong name, expired: the agent's servers
 * use self-made certificates, so none of these is checked. */
#define VQ_NET_IGNORE_CERT_FLAGS 0x00003300u

/* Proxy user names and passwords shorter than this (characters) are not
 * set at all. */
#define VQ_NET_MIN_PROXY_CREDENTIAL_CHARS 2

/* A server address is tried only when it is longer than this (characters). */
#define VQ_NET_MAX_UNUSABLE_ADDRESS_CHARS 2

/* Room for the range header line of a resumed request, in bytes. */
#define VQ_NET_RANGE_HEADER_BYTES 400

/* Room for the text of a Content-Length value, in characters. */
#define VQ_NET_CONTENT_LENGTH_CHARS 64

/* Largest Content-Length a download accepts, and the largest file an upload
 * posts (bytes): the byte counters and the upload's total length are 32-bit. */
#define VQ_NET_MAX_CONTENT_LENGTH 0xFFFFFFFFull

/* Buffer of the gzip inflation, in bytes (each way). */
#define VQ_NET_INFLATE_CHUNK_BYTES 65536

/* Largest size a gzip body may inflate to, in bytes (64 MiB). Gzip bodies
 * reach the agent only from plain downloads, the one transfer that asks for
 * gzip; what its servers compress on the fly are their documents (the
 * resource document is a few KiB), while installers and cabinets are
 * compressed already and come as they are. 64 MiB is thousands of times the
 * largest document and still a block that a 32-bit process can be sure to
 * get for the in-memory copy of a GET_DATA; a body of a few hundred KiB
 * that inflates beyond it is not an answer of these servers but a way to
 * fill the disk or the memory. */
#define VQ_NET_MAX_INFLATED_BYTES (64u << 20)

/* Bit-rate limited downloads: bytes per block for each KB/s of the agent's
 * rate; the rate when the agent names none; a block cycle lasts at least
 * this long (ms); a block slower than the threshold (ms) is followed by the
 * short pause (ms). */
#define VQ_NET_BLOCK_BYTES_PER_KBPS 500u
#define VQ_NET_DEFAULT_RATE_KBPS 1024u
#define VQ_NET_BLOCK_CYCLE_MS 600u
#define VQ_NET_SLOW_BLOCK_MS 450u
#define VQ_NET_SLOW_BLOCK_PAUSE_MS 100u

/* Attempts in a row (a block of a bit-rate limited download, or a new
 * request after a time-out or a lost connection) that may end without the
 * file reaching further than it ever reached before the transfer gives up.
 * Progress is measured from the farthest byte held, not from where the last
 * attempt began: a server that restarts every answer at byte 0 and breaks
 * off at the same place brings bytes each time but never progress. */
#define VQ_NET_MAX_ATTEMPTS_WITHOUT_PROGRESS 3

/* Room for the multipart header of a file upload, in wide characters. */
#define VQ_NET_MULTIPART_HEADER_CHARS 2048

/* Largest Content-Length of an upload's answer: its buffer of
 * (length + 2) * 4 + 4 bytes must fit in 32 bits. */
#define VQ_NET_MAX_RESPONSE_LENGTH ((0xFFFFFFFFu - 4u) / 4u - 2u)

/* Results besides the Windows codes: the resource was not modified (304),
 * and the file on disk is not as long as the server's Content-Length. */
#define VQ_NET_NOT_MODIFIED 90001u
#define VQ_NET_INCOMPLETE_FILE 707u

/* The receive time-out as Wine's WinHTTP reports it while reading a body:
 * the socket's own code WSAETIMEDOUT. */
#define VQ_NET_SOCKET_TIMEOUT 10060u

/* A connection reset as Wine's WinHTTP reports it: WSAECONNRESET. */
#define VQ_NET_SOCKET_RESET 10054u

/* Resumable downloads. Bytes gathered in memory before they are written to
 * the partial file ("InterSaveByteLimit" when the registry names none), and
 * the largest limit taken from the registry: a larger one is cut to it so
 * that a stray value cannot ask for a buffer the process cannot have. */
#define VQ_NET_DEFAULT_SAVE_LIMIT_BYTES 1048576u
#define VQ_NET_MAX_SAVE_LIMIT_BYTES (64u << 20)

/* A "downloadInProgress" flag younger than this (ms) means another
 * download of the same URL is running. */
#define VQ_NET_IN_PROGRESS_WINDOW_MS 5400000LL

/* Room for a text value of the resume records, in bytes (at most 255 are
 * read, as the agent has always stored them). */
#define VQ_NET_REGISTRY_TEXT_BYTES 256

/* Longest unique id of a partial file, in characters (three decimal
 * numbers of at most 11 characters each). */
#define VQ_NET_MAX_ID_CHARS 40

/* Room for the start prefix of an access-log record, in bytes. */
#define VQ_NET_LOG_PREFIX_BYTES 64

/* Result of a resumable GET_DATA whose downloaded data cannot be read back. */
#define VQ_NET_DATA_NOT_LOADED 6u

/* Times a new access-log file is tried again while another process holds
 * it to write its header, and the pause between tries (ms). */
#define VQ_NET_ACCESS_LOG_OPEN_TRIES 50
#define VQ_NET_ACCESS_LOG_RETRY_MS 10u

/* The named mutex through which the appends to the access logs of this
 * session take turns, and the longest wait for it (ms) before a writer
 * appends anyway. */
#define VQ_NET_ACCESS_LOG_MUTEX L"VQAgentDownloadAccessLog"
#define VQ_NET_ACCESS_LOG_WAIT_MS 5000u

#endif
