/*
 * AsyncCommModule: command and observe CNC controllers from a PC application.
 *
 * This header is the library's whole interface: 101 functions with the C calling convention,
 * the 99 of the first release (version node ACM_1.0) and two added since (ACM_1.1, at the end).
 * It compiles as C99 and as C++. The overview below comes first; every function then has a
 * comment of its own in this layout:
 *
 *   name: one-line summary.
 *     parameter   meaning, unit and range
 *   Client:  which of the target's connections carries the call (see "Targets, channels and
 *            clients"); it decides the call's mode and so what the result means.
 *   Returns: the codes the call can return, and when.
 *   Reports: which failures also reach the error callback (errorCmd, cmdState, detail);
 *            "none" means failures reach you only through the result.
 *   Blocks:  the longest the call can take (see "How long a call can block").
 *
 * ==== Targets, channels and clients ====
 * A target is one controller, known by a number of your choosing (cncID) from addTargetCnc
 * until removeTargetCnc. It has channels 1..maxDncCh. Per target the library keeps one command
 * client per channel and two target-level clients; each client has its own TCP connection to
 * the controller's command port 60000 (or the port its address gives), or, for a target whose
 * address is a serial line, its turn on that line (see addTargetCnc):
 *   channel  the client of the channel the call names. It carries that channel's commands:
 *            jog, homing, program control, single bits and bit groups, axis status, the
 *            controller type, program text transfer, the error text. The call checks the
 *            channel against 1..channel count first: outside, it returns 1 and sends nothing.
 *   target   the target-level client. It carries everything that is not sent on a channel's
 *            connection: variables and bits registration, watchdog and link probe, reset,
 *            cycStart, alarmRead, servo, coordinates, network address, controller files,
 *            error files, FTP. A channel such a call takes is sent as data: it is not checked
 *            against the channel count, only against the call's own range where it has one.
 *   aux      the second target-level client; it carries getRuningPrg only and is always
 *            synchronous.
 *   none     no client: the registry functions and the remote buffer.
 *
 * ==== Synchronous and asynchronous clients ====
 * Each client is synchronous (the default) or asynchronous, fixed by addTargetCnc's asyncMask:
 * bit 0 for the target client, bit k for the client of channel k (k = 1..30). A call follows
 * the mode of the client that carries it, not of the channel it names: readVars, reset,
 * cycStart, alarmRead, getCncCurrentError and every other "Client: target" call follow bit 0
 * even when they take a channel.
 *
 * Synchronous client: a command sends its request on the calling thread and waits for the one
 * reply (see "How long a call can block"). The result is the controller's verdict; outputs
 * (the CncLong* parameters) receive the reply's values.
 *
 * Asynchronous client: a command puts its request in the client's queue and returns at once:
 * 0 means queued, not done; 4 means the queue already held two requests and this one was
 * dropped; 7 means not connected. The queue holds two requests at most. The client's own
 * worker thread (running while the client is connected) sends them one at a time; when
 * variables or bits are registered it reads all of them first, in requests of 62 addresses in
 * ascending order, then sends the queued requests, then reads again, without pause (so a queued
 * request waits for up to one read request per 62 registered addresses). The reply's
 * verdict reaches you only through the error callback, and only for the replies that report
 * (see "Error callback"): a refused jog, bit write, program command or any other machine
 * command on an asynchronous client is seen by nobody. Outputs are written at once from the
 * values that the client's last value-carrying reply left, whichever command it answered: on an
 * asynchronous client an output is the value of an earlier reply, never of this call's.
 * Use synchronous clients for whatever needs an answer (values, program text transfer,
 * controller files); use an asynchronous target client for background polling of variables.
 *
 * A link the controller closed (a restart, a power cut): a synchronous client sees it at its
 * next call, which returns 7, and so do all later calls until connect opens the link again. An
 * asynchronous client's worker sees it only when it next sends: while variables are registered
 * that is at once; otherwise the first command after the loss still returns 0 and is lost
 * (nothing sent, nothing reported), and the calls after it return 7.
 *
 * ==== Result codes ====
 * A function returning CncLong returns a result code; a function returning bool returns true
 * for success. Mind the two meanings of 1: as a result code, 1 is a failure (an argument out of
 * range); from a bool function, true (1) is success; bufWrite, bufClear and bufClose return 1
 * for success and 0 for refusal.
 *   0     success: answered without failure or, on an asynchronous client, queued
 *   1     an argument out of range: unknown cncID, channel outside 1..channel count, or the
 *         function's own check (given with each function). Whatever the library can judge
 *         before sending (an address outside the valid ranges, a negative bit number, a name
 *         longer than one request holds) gives 1 on synchronous and asynchronous clients alike,
 *         and nothing is sent
 *   3     the reply reported a failure, for the functions that give one code for every failure
 *         (CheckTcpWdt, getCncFileInf) or got a reply they cannot use (readVars, readBits)
 *   4     the command queue of an asynchronous client was full; the command was not queued
 *   5     a program text transfer stopped: the controller kept refusing a full block, or the
 *         queue of an asynchronous client stayed full (overwrite, append, uploadFile)
 *   6     needs an asynchronous target client (registerBits, removeBits)
 *   7     not connected
 *   10    the local UDP port 60007 could not be bound (udpSetCncIp)
 *   12    start the transfer again (overwrite, append): the link was renewed (after a request
 *         that got no usable reply, or a new connect) since the file was declared, and the
 *         controller forgets a declaration with its connection; nothing was sent. Declare the
 *         file and send the text again
 *   100   the controller reported failure: state 0 of a file or watchdog reply, or an
 *         execution alarm (state 100) of a program text transfer request
 *   100+s the controller answered with failure state s, its status byte read as a signed byte
 *         (-128..127): 101..227, and -28..99 for status bytes 0x80..0xFF (0xFF gives 99); the
 *         states 1, 2 and 3 have the meanings below
 *   101   state 1: the controller rejected the request's parameters
 *   102   state 2: refused while a program runs or the file is being executed
 *   103   state 3: DNC memory full, the text block was not stored; cycStart: no such file
 *   111   no valid reply, and only that: on a synchronous client nothing came within 1.8 s, the
 *         reply was broken, or the controller answered with an error reply; an asynchronous
 *         readVars or readBits: no poll has read a requested address yet, or the last poll of
 *         it got no valid reply (a controller that stopped answering). Never an argument
 *         (that is 1), so 111 alone is a reason to look at the link
 *   112   getCurErrString: the length request failed
 *   113   getCurErrString: a text request failed, or three in a row brought nothing
 *   200   the controller raised an execution alarm (state 100) on cycStart or reset
 * writeCncFile gives 100, 101 and 102 meanings of its own (which of its steps failed).
 *
 * ==== Error callback ====
 * setErrCallbackFunc gives a target one ErrCallbackFunc. The library calls it when a reply of one
 * of these kinds reports a failure (cmdState is the reply's state; "" is an empty detail):
 *   errorCmd  reply                       cmdState and detail
 *   0         variable read refused       1 "parameters error."
 *   1         file declaration or state   1 "parameters error."; 2 "target file is been
 *             query; also state 100 of      executing.file transmission denied."; 100
 *             an overwrite/append block     "CNC系统执行错误报警"; other s "CmdSetFileInf:unknow
 *                                           state. state=<s>" or "CmdGetFileTransState:unknow
 *                                           state. state=<s>"
 *   2         overwrite block             1 "parameters error.";
 *                                           2 "DNC 内存已满，此笔数据复写成功" (stored: a notice,
 *                                             the call succeeds);
 *                                           3 "DNC 内存已满，此笔数据复写失败" (not stored)
 *   3         append block                as 2, texts "DNC内存已满，此笔数据追加成功" and
 *                                           "DNC内存已满，此笔数据追加失败"; and when the library
 *                                           stops a transfer: the last refusal's state,
 *                                           "append: the controller kept refusing a full block;
 *                                           transfer stopped", or 4 "append: the command queue
 *                                           stayed full; transfer stopped"
 *   2, 3      text refused before sending -1 "<function>: byte 0x<hh> at offset <n> has its top
 *             (overwrite and uploadFile 2,    bit set; nothing was sent"
 *             append 3)
 *   4         controller type refused     1 "parameters error."
 *   6         variable write refused      1 "parameters error."
 *   7         reset                       1 "parameters error."; 2 "program is runing."; other s ""
 *   8         cycle start by name         1 "parameters error."; 2 "program is runing.";
 *                                           3 "file is not exist."; other s ""
 *   9         a reply the library does    0 "unknown command."
 *             not know
 *   11        error file open refused     0 "opening file error."; other s ""
 *   12        error file piece of a       2 "read file error.(Accept the wrong size)"
 *             wrong size
 *   13        error file close, binary    0 "closing file error." (close) or "onRecCmdBinFile
 *             file step, error text head;   error." (binary file); 1 "onRecCmdBinFile error."
 *             writeCncFile refused before   (error text head); other s ""; -1 "writeCncFile:
 *             sending                       byte 0x<hh> at offset <n> of the file name (or:
 *                                           content) is not UTF-8; nothing was sent"
 *   20        an FTP list stopped on a    the step that failed (0 connect, 1 log in, 2 upload,
 *             failure (see "FTP uploads") 4 make the folder); the reason, for example the
 *                                           server's reply or "Connecting to <ip> failed: ..."
 * Never reported: refusals of the machine commands (jog, homing, handwheel, program control,
 * bits, axes, servo, coordinates, alarm read, static address), of the watchdog and of file
 * information; a missing or broken reply (111); a lost connection. They reach you only as a
 * result code, so on an asynchronous client not at all.
 * The callback runs on the thread that parsed the reply, once that client's lock is released:
 * inside the call, on your thread, for a synchronous client (before the call returns); on the
 * client's worker thread for an asynchronous one. So it may run on several threads at once for
 * one target. No lock of the library is held while it runs, so it may call any function of the
 * library, on the same client or any other (two callbacks at once may each call the other's
 * client), except removeTargetCnc of its own target (the removal would wait for the call that
 * runs the callback, for ever): leave that to a thread of your own. detail is valid only during
 * the call. Without a callback, a report
 * is written to the log when the client's debug
 * flag bit 0 is set (the target client only; see getErrorDeb).
 *
 * ==== How long a call can block ====
 * A request on a synchronous client waits at most 1.8 s for its reply (three waits of 600 ms).
 * A reply answers only its own request. While a request waits, a frame that answers another
 * kind of request is dropped (and logged) and the wait goes on; bytes that come while no
 * request waits are dropped (and logged) before the next request goes. An exchange that ends
 * without its own whole, usable reply (none in time, a broken frame, an error reply, a frame of
 * an unknown code or with fields missing) makes the client's next request first open a fresh
 * connection (at most 500 ms), so that whatever else the controller sends for the failed
 * request arrives on a closed connection and can never be taken for the answer to a later
 * request; over a serial port the next request instead waits until the line has stayed quiet
 * for one reply wait. The same holds for the worker of an asynchronous client. Below,
 * "a request" costs at most 1.8 s, plus 0.5 s when the client's previous request got no
 * usable reply. A call first waits for any call already running on the same client: a
 * synchronous command holds its client for its whole round trip, so two threads commanding one
 * client take turns. Connecting waits at most 500 ms per connection; a host name given instead
 * of a numeric address is first resolved by the system's resolver, which the library does not
 * bound. Each function states its bound against a silent controller (one that accepts the
 * connection and never answers) and how many requests it can make in all. A command on an
 * asynchronous client does not wait for the network; the exceptions are named with their
 * functions.
 *
 * ==== Threads ====
 * Any thread may call any function at any time, several at once:
 *   - addTargetCnc and removeTargetCnc too, while other threads call anything, on the same
 *     target or others. Of several addTargetCnc of one cncID at once, exactly one succeeds.
 *   - removeTargetCnc takes the target away at once (calls that start later find no target: 1,
 *     false or null), then waits for the calls already inside it. Each finishes the request it
 *     is sending; a step it starts after that finds no link (7), except the further requests
 *     of a call that holds its client throughout (getCncCurrentError, a split readVars or
 *     writeVars), which ends within its own bound. It never frees what a running call uses.
 *   - Calls on different clients run in parallel; calls on one client take turns (see above).
 *     No call holds up calls on other targets: the registry is locked only to look a target
 *     up, never across a network wait.
 *   - connect and disconnect of one target take turns, whichever threads call them; commands
 *     may run on the target meanwhile (one that finds its link down returns 7).
 *   - The FTP functions run their transfer in the event loop of the thread that calls them (see
 *     ftpUploadFile).
 *   - The error callback runs with no lock of the library held (see "Error callback"); it may
 *     call any function except the removal of its own target.
 * A synchronous client has no thread of its own; an asynchronous client has one while it is
 * connected; a target on a serial line has one for the line, from addTargetCnc to
 * removeTargetCnc; a remote buffer has one from bufOpen to bufClose.
 *
 * ==== Strings ====
 * Every char* you pass is a NUL-terminated byte string that you own; the library copies what
 * it keeps before the call returns, so you may free or change it afterwards. The program names
 * and the text of the program text transfer, cycStart and the remote buffer end at their first
 * byte that is 0 or lies in 0x80..0xFF: only 7-bit characters are sent, and nothing after such a
 * byte (the controller files and FTP take other encodings, given there). A char* that the
 * library returns points into the library's storage: never free or change it; each function
 * says how long it stays valid.
 *
 * ==== Variables and bits ====
 * A controller variable is a signed 32-bit value at the address area * 1000000 + index, with
 * area 0..16 and index 0..169999 (so 0..16169999, and no index above 169999 in any area). Area
 * c (1..16) holds the variables of channel c; area 0 those of no channel (for example 120138).
 * Addresses outside these ranges are refused.
 * The bit functions registerBits, removeBits and readBits reach bits through the variables
 * that hold them, 32 bits to a word: bit b of table bitType on channel c is bit (b % 32) of the
 * variable c * 1000000 + base + b / 32, where bitType 0..6 selects the table by its base word:
 *   bitType  0: 32048   1: 32112   2: 32176   3: 32240   4: 32304   5: 32592   6: 32560
 * Which of the controller's I/O tables each one is belongs to the controller's layout. The
 * single-bit functions (getIBit ... setABit) and the bit groups (getIbits ...) ask the
 * controller directly instead, by table number.
 *
 * ==== Axes ====
 * Axis numbers and axis masks are passed to the controller unchanged; how it numbers its axes
 * is the controller's. A set of axes is given as two 32-bit words, axisHBits (high) and
 * axisLBits (low). The bundled simulator numbers the axes of each channel from 0: bit i of
 * axisLBits is axis i, bit i of axisHBits is axis 32 + i. Feeds, lengths, coordinates and
 * overrides are likewise passed unchanged, in the controller's units; the simulator counts
 * positions in whole units, moves a continuously jogged axis by feed units per second (ten times
 * that at rapid feed) and accepts the overrides without using them.
 *
 * ==== Diagnostics ====
 * Every diagnostic line of the library goes to the Qt logging category "acm" (debug level):
 * switch it off with QT_LOGGING_RULES="acm.debug=false". getErrorDeb writes the lines to
 * hourly files instead, and leaves every other message of the process to the handler the
 * application installed. Each client creates the folder "logs" in the working directory when it
 * is made (addTargetCnc).
 *
 * This header declares a function named `connect`. Do not include it in the same translation
 * unit as <sys/socket.h>; the library's symbols are versioned, so the C library's `connect`
 * stays in force for every other library in the process.
 */
#ifndef ASYNC_COMM_MODULE_H
#define ASYNC_COMM_MODULE_H

#include <stdint.h>
#if defined(__cplusplus)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L
#include <stdbool.h>
#elif !defined(bool)
/* C89 has no bool: give its callers the same one-byte _Bool that C99 callers get. */
__extension__ typedef _Bool bool;
#endif

#ifndef ACM_EXPORT
#if defined(_WIN32)
#define ACM_EXPORT __declspec(dllexport)
#else
#define ACM_EXPORT __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Every 32-bit value of the controller protocol, also in arrays: int32_t on every platform
 * (plain `long` is 64 bits on 64-bit Linux). */
typedef int32_t CncLong;

#ifndef ACM_ERR_CALLBACK_DEFINED
#define ACM_ERR_CALLBACK_DEFINED
/* The error callback: see "Error callback" above.
 *   errorCmd  which kind of reply reported (0..13, table above)
 *   cmdState  the reply's state
 *   detail    NUL-terminated text, UTF-8; valid only during the call */
typedef void (*ErrCallbackFunc)(CncLong errorCmd, CncLong cmdState, const char* detail);
#endif

/* =========================================================================================
 * Targets and connection
 * ========================================================================================= */

/* addTargetCnc: register a controller as target cncID, with its channels; opens no connection.
 *   cncID      any number of your choosing, unique among the registered targets
 *   maxDncCh   number of channels, up to 99; 1 or less gives one channel
 *   ip         the controller's address: a numeric IPv4 or IPv6 address or a host name, copied;
 *              null gives an empty address, which never connects. "host:port" connects every
 *              client to that port instead of 60000 (an IPv6 address with a port in brackets:
 *              "[::1]:60001"); the port is 1..65535 in decimal digits only.
 *              Or an RS-232 line: "serial:DEVICE[,BAUD[,FORMAT[,FRAMING]]]", for example
 *              "serial:/dev/ttyUSB0", "serial:/dev/ttyS0,9600,8E1,colon". BAUD is one of 1200,
 *              2400, 4800, 9600, 19200, 38400, 57600, 115200 (the default), 230400, 460800,
 *              921600; FORMAT is data bits 5..8, parity N, E or O, stop bits 1 or 2 (default
 *              8N1), no flow control; FRAMING is "station" (station byte, CRC-16; the default)
 *              or "colon" (':' lead-in, LRC), as the controller is set up. All the clients of
 *              such a target share the one line: connect opens the device once, their requests
 *              take turns on it (one request and its reply at a time, whichever client sends),
 *              and it closes when the last of them disconnects (the aux client's at
 *              removeTargetCnc). What "Client" and the blocking bounds say holds per request as
 *              for TCP, plus the wait for the line while another client's request is on it.
 *              The remote buffer and the FTP functions need a network address: they fail on
 *              such a target (bufOpen refuses a serial address)
 *   asyncMask  bit 0: the target client asynchronous; bit k: channel k's client asynchronous
 *              (k = 1..30); bit 31 and channels above 30 stay synchronous; 0: all synchronous
 * Client: none. The aux client is always synchronous.
 * Returns: true when the target was made; false when cncID is registered already (the target
 *          stays as it was: address, channels and modes are not changed), maxDncCh > 99, or
 *          ip carries a malformed port ("host:", "host:0", "host:65536", "host:6x") or is a
 *          serial address with an empty device or a setting not listed above ("serial:",
 *          "serial:/dev/ttyS0,9601", "serial:/dev/ttyS0,9600,8N3", "serial:/dev/ttyS0,,8N1").
 *          Of several calls with one cncID at once, from any threads, exactly one returns true.
 * Reports: none. Logs one line with the arguments (not asyncMask).
 * Blocks: no network; any thread, at any time (see "Threads"). */
ACM_EXPORT bool addTargetCnc(int cncID, int maxDncCh, const char* ip, int asyncMask);

/* removeTargetCnc: forget target cncID: close its connections and free it.
 *   cncID  the target
 * Client: none. The removal sends nothing (not even the link marker that disconnect writes):
 *         the target is taken out of the registry first, so calls that start later find none;
 *         every worker thread of its asynchronous clients is told to stop before any is joined,
 *         so what was queued on any channel is never sent; a call already inside the target
 *         on another thread finishes as "Threads" says (its later steps get 7), and the
 *         target is freed once every such call has returned. Texts that getRuningPrg
 *         and getCncCurrentError returned for this cncID stay valid by their own rule (the
 *         removal does not end them); an FTP upload of the target that still runs is abandoned.
 * Returns: true when removed; false when cncID is not registered (also for all but one of
 *          several removals of one target at once).
 * Blocks: until the workers have finished the requests they are sending, side by side (at most
 *         2.3 s in all), and the calls inside the target have returned (each within its own
 *         bound). Any thread, at any time, except from the error callback of the same target
 *         (see "Threads"). */
ACM_EXPORT bool removeTargetCnc(int cncID);

/* connect: connect every client of target cncID to the controller.
 *   cncID  the target
 * Client: all. In this order: the target client, the aux client, then the channel clients 1..n,
 *         each to port 60000 of the target's address (or the port the address gives), each
 *         waiting at most 500 ms. As soon as a connection is up its client writes 1 to variable
 *         1110037 (the link marker), on a thread of its own while the next client connects: a
 *         synchronous client waits for the reply (its outcome does not count), an asynchronous
 *         one queues it and starts its worker thread. The call returns once every marker is
 *         done. A client whose link is up is left as it is; one whose link the controller
 *         closed (a restart, a power cut) is connected afresh. connect and disconnect of one
 *         target take turns: a call waits for the other's to end first.
 * Returns: true when the target client and every channel client are connected (the aux
 *          client's outcome does not count). false when cncID is not registered, when the
 *          target client could not connect (no other client is tried), or when a channel
 *          client could not connect (the later ones are not tried; those connected stay
 *          connected), or when the target was removed meanwhile. true does not mean the
 *          controller answers: check with CheckTcpWdt.
 * Reports: none.
 * Blocks: per client at most 500 ms to connect, one after the other; the link markers' waits
 *         run side by side, so they add one request's wait (at most 1.8 s) however many
 *         channels: a controller that accepts connections but never answers holds the call about
 *         1.8 s. An asynchronous client connected anew first waits for its previous worker to
 *         end (at most 2.3 s). */
ACM_EXPORT bool connect(int cncID);

/* disconnect: close the connections of the target client and the channel clients of cncID.
 *   cncID  the target
 * Client: the target client and the channel clients, side by side (a thread each, all joined
 *         before the call returns). A synchronous client first writes 0 to variable 1110037 (one
 *         request), then closes, both in one hold of the client: a command of another thread on
 *         it ends its round trip before, or returns 7 after. An asynchronous client drops
 *         its queued requests and returns at once; its worker closes the connection after the
 *         request it is sending, and ends. The aux client stays connected until removeTargetCnc.
 *         Commands on the target return 7 until the next connect (getRuningPrg still works).
 *         A disconnect waits for a connect of the same target that runs on another thread.
 * Returns: true; false when cncID is not registered.
 * Reports: none.
 * Blocks: one request per synchronous client that is connected, all waiting at once: at most
 *         2.3 s however many channels (a silent controller: 1.8 s); asynchronous clients add
 *         nothing. */
ACM_EXPORT bool disconnect(int cncID);

/* getTcpConnectFlag: probe the link of the target client.
 *   cncID  the target
 * Client: target. Reads variable 1020300 (the value is not used).
 * Returns: true when a reply came, even one the read cannot use; false when the client is not
 *          connected, when no valid reply came (an error reply included), or when cncID is not
 *          registered. On an
 *          asynchronous target client nothing is sent: true means only that the client still
 *          holds its link (its worker notices a closed link at its next request).
 * Reports: a refused read (0, 1, "parameters error.").
 * Blocks: synchronous: one request; asynchronous: no network. */
ACM_EXPORT bool getTcpConnectFlag(int cncID);

/* CheckTcpWdt: ask the controller whether it is alive (the watchdog request).
 *   cncID  the target
 * Client: target.
 * Returns: 0 the controller answered that it is alive; 3 it answered with any other state;
 *          7 not connected; 111 no valid reply; 1 cncID not registered. On an asynchronous
 *          target client 0 (queued) or 4: the answer is then seen by nobody.
 * Reports: none.
 * Blocks: synchronous: one request. */
ACM_EXPORT CncLong CheckTcpWdt(int cncID);

/* setErrCallbackFunc: install the error callback of target cncID.
 *   callback  called for the reports listed under "Error callback"; null switches it off
 *   cncID     the target
 * Client: the target client and every channel client (the aux client reports nothing). The
 *         callback stays in force across disconnect and connect, until changed or the target
 *         is removed. It may be changed while commands run.
 * Returns: true when installed; false when cncID is not registered.
 * Blocks: no. */
ACM_EXPORT bool setErrCallbackFunc(ErrCallbackFunc callback, int cncID);

/* getErrorDeb: switch the diagnostic log file on or off, and set the target client's debug flags.
 *   debugFlags  bit 0: lines on command, parameter and reply errors; bit 1: lines on connection
 *               changes and per-transfer progress; both for the target client of cncID only
 *               (other clients keep no flags; many lines are written whatever the flags say).
 *               Non-zero: from now on the library's lines (category "acm") are appended,
 *               with a time stamp, to logs/CommLog_yyyy-MM-dd-hh.txt under the working
 *               directory, one file per hour, instead of going to Qt's output. The library puts
 *               a message handler of its own in front of the one installed (yours, or Qt's
 *               default) and hands every other message of the process on to it unchanged.
 *               0: the handler that was installed before is put back (unless you installed
 *               another one since; it stays), and the library's lines go there again.
 *               A log file that cannot be written (no "logs" folder, no permission) loses
 *               its lines; the first such failure is reported once on standard error, again
 *               only after a line was written. The library stays loaded after dlclose, so
 *               unloading it with the file on is safe.
 *   cncID       the target whose flags change; the file log is process-wide
 * Client: target (its flags only).
 * Returns: 0; 1 when cncID is not registered (nothing changes).
 * Blocks: no. */
ACM_EXPORT CncLong getErrorDeb(CncLong debugFlags, int cncID);

/* =========================================================================================
 * Controller variables and bits (all on the target client; addresses: see "Variables and bits")
 * ========================================================================================= */

/* registerVars: add variables to the background poll of the target client.
 *   addresses  count variable addresses
 *   count      1..100000
 *   cncID      the target
 * Client: target. Nothing is sent by this call. On an asynchronous target client the worker
 *         reads every registered address again and again (see "Synchronous and asynchronous
 *         clients") and readVars answers from what it read. A registered address has no value
 *         until a poll has read it (readVars gives 111 for it); registering it again,
 *         connecting the target again, or a poll of it that gets no valid reply of its own
 *         (nothing in time, a broken reply, another kind of reply, an error reply) forgets its
 *         value until a later poll reads it again. On a synchronous target client registering
 *         has no lasting effect: every synchronous readVars and readBits forgets all
 *         registrations.
 * Returns: 0 all registered; 1 none registered: addresses null, count outside 1..100000, an
 *          address outside the valid ranges, or cncID not registered.
 * Reports: none here; a poll request the controller refuses reports (0, 1, "parameters error.").
 * Blocks: no network; waits for a running call on the target client. */
ACM_EXPORT CncLong registerVars(CncLong* addresses, int count, int cncID);

/* removeVars: take variables out of the background poll.
 *   addresses  count addresses; addresses not registered are ignored
 *   count      1..100000; with null addresses or another count nothing happens
 *   cncID      the target
 * Client: target. Removing the variable that holds registered bits stops their poll too. No
 *         poll after the call carries a removed address: the reply of a poll already under way
 *         when the call came stores only the addresses still registered.
 * Returns: 0; 1 when cncID is not registered.
 * Blocks: no network; waits for a running call on the target client. */
ACM_EXPORT CncLong removeVars(CncLong* addresses, int count, int cncID);

/* clearVars: take every variable and bit out of the background poll.
 *   cncID  the target
 * Client: target. On a synchronous target client it does nothing. Once it returns the
 *         asynchronous worker polls nothing (a poll already under way stores nothing).
 * Returns: 0; 1 when cncID is not registered.
 * Blocks: no network; waits for a running call on the target client. */
ACM_EXPORT CncLong clearVars(int cncID);

/* readVars: read variables.
 *   addresses  count addresses, in any order
 *   count      1..100000
 *   values     count entries you provide; values[i] receives the value of addresses[i]
 *   cncID      the target
 * Client: target.
 *   Synchronous: reads the addresses in requests of 64, in the order given.
 *   Asynchronous: sends nothing; values[i] is the last value the poll read for addresses[i].
 *   When any address is not registered, or no poll has read it since it was registered, since
 *   the target was last connected and since a poll of it last went without a valid reply, the
 *   call returns 111 and leaves values untouched: a value nobody has read is not given as
 *   read, and a controller that stopped answering does not read as one whose values stand
 *   still (111 once the next poll of it has waited out its reply).
 * Returns: 0 read; 1 addresses or values null, count outside 1..100000, an address outside
 *          the valid ranges (nothing sent), or cncID not registered (values untouched); 7 not
 *          connected (values untouched); 111 a request got no valid reply or the controller
 *          refused it with an error reply (values untouched); 3 a reply carried another number
 *          of values than asked for (its values are not used and read 0).
 * Reports: a refused read (0, 1, "parameters error.").
 * Blocks: synchronous: one request per 64 addresses, ending at the first that goes unanswered
 *         (a silent controller: one request). Asynchronous: no network. */
ACM_EXPORT CncLong readVars(CncLong* addresses, int count, CncLong* values, int cncID);

/* writeVars: write variables.
 *   addresses  count addresses
 *   count      1..100000 (asynchronous: see below)
 *   values     count values; values[i] goes to addresses[i]
 *   cncID      the target
 * Client: target. Writes in requests of 31 address/value pairs, in order.
 *   Synchronous: each request waits for its reply.
 *   Asynchronous: the whole batch is queued or nothing is: 62 pairs at most while the queue is
 *   empty, 31 while it holds one request.
 * Returns: 0 written (asynchronous: queued); 1 addresses or values null, count outside
 *          1..100000, an address outside the valid ranges (nothing sent or queued), or cncID
 *          not registered; 7 not connected; 111 a request got no valid reply or the controller
 *          refused it with an error reply: the pairs before that request were written; 4
 *          (asynchronous) the queue could not take all requests, nothing was queued.
 * Reports: a refused write (6, 1, "parameters error."), also on an asynchronous client.
 * Blocks: synchronous: one request per 31 pairs, ending at the first that goes unanswered.
 *         Asynchronous: no network. */
ACM_EXPORT CncLong writeVars(CncLong* addresses, int count, CncLong* values, int cncID);

/* registerBits: add bits to the background poll (the variables that hold them).
 *   channel  1..99, the channel whose bit table is meant; only channels 1..16 have variables
 *   bitType  0..6, the bit table (see "Variables and bits")
 *   bits     count bit numbers, 0 and up
 *   count    1..100000
 *   cncID    the target
 * Client: target; it must be asynchronous. Bits in one 32-bit word share one poll entry.
 * Returns: 0 registered; 6 the target client is synchronous; 7 not connected; 1 bits null,
 *          count outside 1..100000, bitType outside 0..6, channel outside 1..99, a negative bit
 *          number, a bit whose word is no valid variable address (none registered), or cncID
 *          not registered.
 * Reports: none.
 * Blocks: no network; waits for a running call on the target client. */
ACM_EXPORT CncLong registerBits(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID);

/* removeBits: take bits out of the background poll.
 *   channel, bitType, bits, count: as for registerBits. The whole word of each bit leaves the
 *   poll, so the other registered bits of that word stop being read too.
 *   cncID  the target
 * Client: target; it must be asynchronous. No poll after the call carries a removed word.
 * Returns: 0; 6 the target client is synchronous; 7 not connected; 1 bits null, count outside
 *          1..100000, bitType outside 0..6, channel outside 1..99, a negative bit number, or
 *          cncID not registered.
 * Blocks: no network; waits for a running call on the target client. */
ACM_EXPORT CncLong removeBits(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID);

/* readBits: read bits (through the variables that hold them).
 *   channel  1..99 (only 1..16 have variables)
 *   bitType  0..6, the bit table
 *   bits     count bit numbers, 0 and up
 *   count    1..100000
 *   values   count entries you provide; values[i] receives 1 when bit bits[i] is set, else 0
 *   cncID    the target
 * Client: target.
 *   Synchronous: one read request of every word the bits need (64 different words at most).
 *   Asynchronous: sends nothing; answers from the poll (see registerBits). When a bit's word is
 *   not registered, or no poll has read it since it was registered, since the target was last
 *   connected and since a poll of it last went without a valid reply, the call returns 111 and
 *   leaves values untouched.
 * Returns: 0; 1 values or bits null, count outside 1..100000, channel outside 1..99, bitType
 *          outside 0..6, a negative bit number, a bit whose word is no valid address, on a
 *          synchronous client more than 64 words, or cncID not registered (nothing sent, values
 *          untouched); 7 not connected; 111 no valid reply or an error reply (values
 *          untouched); 3 a reply carried another number of values than asked for.
 * Reports: a refused read (0, 1, "parameters error.").
 * Blocks: synchronous: one request. Asynchronous: no network. */
ACM_EXPORT CncLong readBits(CncLong channel, CncLong bitType, CncLong* bits, int count, CncLong* values, int cncID);

/* =========================================================================================
 * Hand motion, handwheel and homing (all on the channel client)
 *
 * Common to this group:
 *   channel  1..channel count of the target
 *   Returns: 0 done (asynchronous: queued); 1 channel out of range or cncID not registered;
 *            4 queue full (asynchronous); 7 not connected; 111 no valid reply; 100+s the
 *            controller refused with state s (for example 102 when the simulator is in
 *            emergency stop).
 *   Reports: none: on an asynchronous client a refusal is seen by nobody.
 *   Blocks:  synchronous: one request. Asynchronous: no network.
 *   Outputs: written when the result is not 1, 7 or 111: the reply's values on a synchronous
 *            client (values of an earlier reply when the controller refused), the values of
 *            an earlier reply on an asynchronous one (see "Synchronous and asynchronous
 *            clients"), except where a function says otherwise.
 * Most of them log one line with their arguments and result.
 * ========================================================================================= */

/* jogMotionV_Run: start a continuous jog of one axis; it runs until jogMotionV_Stop.
 *   axis      the axis (see "Axes")
 *   feed      speed, in the controller's unit (simulator: position units per second)
 *   isNegDir  1: negative direction; 0: positive (passed unchanged)
 *   isFast    1: rapid; 0: at feed (passed unchanged; the simulator ignores it) */
ACM_EXPORT CncLong jogMotionV_Run(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast,
                                  int cncID);
/* jogMotionV_Stop: stop the continuous jog of one axis.
 *   axis  the axis */
ACM_EXPORT CncLong jogMotionV_Stop(CncLong channel, CncLong axis, int cncID);
/* jogMotionV_MfoSet: set the feed override of continuous jogs on the channel.
 *   mfo  the override, passed unchanged; its unit is the controller's (the simulator ignores it) */
ACM_EXPORT CncLong jogMotionV_MfoSet(CncLong channel, CncLong mfo, int cncID);
/* jogMotionV_FastOnSet: switch rapid traverse of continuous jogs on or off.
 *   isFast  1: on; 0: off (passed unchanged; the simulator ignores it) */
ACM_EXPORT CncLong jogMotionV_FastOnSet(CncLong channel, CncLong isFast, int cncID);
/* jogMotionV_Para: set an axis's continuous jog parameters for jogMotionV_AxesRun; moves nothing.
 *   axis, feed, isNegDir, isFast: as for jogMotionV_Run */
ACM_EXPORT CncLong jogMotionV_Para(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast,
                                   int cncID);
/* jogMotionV_AxesRun: start continuous jogs of several axes, each with its jogMotionV_Para values.
 *   axisHBits, axisLBits  the axes (see "Axes") */
ACM_EXPORT CncLong jogMotionV_AxesRun(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
/* jogMotionV_AxesStop: stop the continuous jogs of several axes.
 *   axisHBits, axisLBits  the axes */
ACM_EXPORT CncLong jogMotionV_AxesStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
/* jogMotionP_Run: move one axis by an increment, or to a position.
 *   axis        the axis
 *   feed        speed, in the controller's unit (the simulator moves at once)
 *   len         distance (isAbs 0) or target position (isAbs 1), in the controller's unit of
 *               length (simulator: position units)
 *   isAbs       1: len is a position; 0: len is a distance from where the axis stands
 *   isMecCoord  1: len in machine coordinates; 0: in the program's coordinates (passed
 *               unchanged; the simulator ignores it) */
ACM_EXPORT CncLong jogMotionP_Run(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs,
                                  CncLong isMecCoord, int cncID);
/* jogMotionP_MfoSet: set the feed override of incremental moves on the channel.
 *   mfo  the override, passed unchanged; its unit is the controller's (the simulator ignores it) */
ACM_EXPORT CncLong jogMotionP_MfoSet(CncLong channel, CncLong mfo, int cncID);
/* jogMotionP_Stop: stop the incremental move of one axis.
 *   axis  the axis */
ACM_EXPORT CncLong jogMotionP_Stop(CncLong channel, CncLong axis, int cncID);
/* jogMotionP_IsStop: ask whether an axis's incremental move has ended.
 *   axis    the axis
 *   mode    passed unchanged; its meaning is the controller's (the simulator ignores it)
 *   isStop  receives the controller's answer (simulator: 1 stopped, 0 moving); 0 when the
 *           controller refused, and always 0 on an asynchronous client */
ACM_EXPORT CncLong jogMotionP_IsStop(CncLong channel, CncLong axis, CncLong mode, CncLong* isStop, int cncID);
/* jogMotionP_Para: set an axis's incremental move parameters for jogMotionP_AxesRun; moves nothing.
 *   axis, feed, len, isAbs, isMecCoord: as for jogMotionP_Run */
ACM_EXPORT CncLong jogMotionP_Para(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs,
                                   CncLong isMecCoord, int cncID);
/* jogMotionP_AxesRun: start incremental moves of several axes, each with its jogMotionP_Para values.
 *   axisHBits, axisLBits  the axes */
ACM_EXPORT CncLong jogMotionP_AxesRun(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
/* jogMotionP_AxesStop: stop the incremental moves of several axes.
 *   axisHBits, axisLBits  the axes */
ACM_EXPORT CncLong jogMotionP_AxesStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
/* jogMotionP_AxesIsStop: ask which of several axes have ended their incremental moves.
 *   axisHBits, axisLBits  the axes asked about
 *   mode                  passed unchanged; its meaning is the controller's (the simulator
 *                         ignores it)
 *   stopHBits, stopLBits  receive the first and the second value of the answer (simulator: the
 *                         high and low mask words of the stopped axes among those asked); 0 when
 *                         the controller refused, and always 0 on an asynchronous client */
ACM_EXPORT CncLong jogMotionP_AxesIsStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong mode,
                                         CncLong* stopHBits, CncLong* stopLBits, int cncID);
/* mpgSelection: select the handwheel that drives the channel.
 *   mpgId  the handwheel's number, passed unchanged (the simulator ignores it) */
ACM_EXPORT CncLong mpgSelection(CncLong channel, CncLong mpgId, int cncID);
/* mpgAxesSet: choose the axes that the handwheel moves.
 *   axisHBits, axisLBits  the axes (the simulator ignores them) */
ACM_EXPORT CncLong mpgAxesSet(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
/* mpgMfoSet: set the handwheel's override.
 *   mfo  the override, passed unchanged; its unit is the controller's (the simulator ignores it) */
ACM_EXPORT CncLong mpgMfoSet(CncLong channel, CncLong mfo, int cncID);
/* homeRunAxis: start homing one axis (simulator: takes 100 ms and ends at position 0).
 *   axis  the axis */
ACM_EXPORT CncLong homeRunAxis(CncLong channel, CncLong axis, int cncID);
/* homeRunAxes: start homing several axes.
 *   axisHBits, axisLBits  the axes
 *   first, second         receive the answer's first and second value (the simulator echoes
 *                         axisHBits and axisLBits)
 * Also logs one line with the result. */
ACM_EXPORT CncLong homeRunAxes(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                               CncLong* second, int cncID);
/* homeAxisIsEnd: ask whether an axis has finished homing.
 *   axis   the axis
 *   isEnd  receives the answer (simulator: 1 homed, 0 not) */
ACM_EXPORT CncLong homeAxisIsEnd(CncLong channel, CncLong axis, CncLong* isEnd, int cncID);
/* homeAxesIsEnd: ask which of several axes have finished homing.
 *   axisHBits, axisLBits  the axes asked about
 *   first, second         receive the answer's SECOND and FIRST value, in that order (the
 *                         reverse of getAxesMotionStatus). The simulator answers with the high
 *                         and then the low mask word of the homed axes, so first receives the
 *                         low word and second the high word. */
ACM_EXPORT CncLong homeAxesIsEnd(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                 CncLong* second, int cncID);
/* homeAxisIsInProcess: ask whether an axis is homing.
 *   axis       the axis
 *   inProcess  receives the answer (simulator: 1 while homing, else 0) */
ACM_EXPORT CncLong homeAxisIsInProcess(CncLong channel, CncLong axis, CncLong* inProcess, int cncID);
/* homeAxesIsInProcess: ask which of several axes are homing.
 *   axisHBits, axisLBits  the axes asked about
 *   first, second         receive the answer's second and first value, as homeAxesIsEnd */
ACM_EXPORT CncLong homeAxesIsInProcess(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                       CncLong* second, int cncID);

/* =========================================================================================
 * Program control
 *
 * prgCycleStart ... prgReset run on the channel client and share the codes, reports and bounds
 * of the hand motion group. The switch values ("on") are passed unchanged; what a value means is
 * the controller's (usually 1 on, 0 off; the simulator uses only emStopSet's).
 * ========================================================================================= */

/* prgCycleStart: start the channel's current program (simulator: sets the run state; refused
 * with state 2, so 102, during emergency stop). */
ACM_EXPORT CncLong prgCycleStart(CncLong channel, int cncID);
/* prgStop: stop the channel's program. */
ACM_EXPORT CncLong prgStop(CncLong channel, int cncID);
/* prgPause: pause the channel's program.
 *   pauseValue1, pauseValue2  the request's second and third value, after the channel: passed
 *                             unchanged in this order; their meaning is the controller's (the
 *                             simulator answers and ignores them) */
ACM_EXPORT CncLong prgPause(CncLong channel, CncLong pauseValue1, CncLong pauseValue2, int cncID);
/* prgSingleBlockSet: switch single-block mode.
 *   on  the switch value (the simulator ignores it) */
ACM_EXPORT CncLong prgSingleBlockSet(CncLong channel, CncLong on, int cncID);
/* prgOptionSkipSet: switch optional block skip.
 *   on  the switch value (the simulator ignores it) */
ACM_EXPORT CncLong prgOptionSkipSet(CncLong channel, CncLong on, int cncID);
/* prgMpgTestSet: switch the handwheel test mode.
 *   on  the switch value (the simulator ignores it) */
ACM_EXPORT CncLong prgMpgTestSet(CncLong channel, CncLong on, int cncID);
/* prgMpgTestSimuSet: switch the simulated handwheel test mode.
 *   on  the switch value (the simulator ignores it) */
ACM_EXPORT CncLong prgMpgTestSimuSet(CncLong channel, CncLong on, int cncID);
/* emStopSet: set or release the emergency stop.
 *   on  the switch value. The simulator: non-zero stops every axis and the program, raises the
 *       alarm (1, channel, 1001) and refuses motion and cycle start with state 2 until 0 is
 *       sent; reset or prgReset then clears the alarm. */
ACM_EXPORT CncLong emStopSet(CncLong channel, CncLong on, int cncID);
/* prgReset: reset the channel's program (simulator: ends the run state; clears the alarm
 * unless the emergency stop is set). */
ACM_EXPORT CncLong prgReset(CncLong channel, int cncID);

/* reset: reset a channel of the controller.
 *   channel  1..99, sent as one byte; not checked against the channel count
 *   cncID    the target
 * Client: target (follows bit 0 of asyncMask).
 * Returns: 0; 1 channel outside 1..99 or cncID not registered (nothing sent); 4; 7; 111;
 *          101 state 1; 102 state 2 (a program runs); 100+s other states (200 for state 100).
 * Reports: (7, s, "parameters error." / "program is runing." / "") for every state s other
 *          than 0.
 * Blocks: synchronous: one request. Logs one line with the arguments and the result. */
ACM_EXPORT CncLong reset(CncLong channel, int cncID);

/* getRuningPrg: name of the program running on a channel.
 *   channel  1..98: only its low 8 bits are used; not checked against the channel count
 *   cncID    the target
 * Client: aux, always synchronous whatever asyncMask says. It does not check the connection
 *         first: without one it answers as for no reply.
 * Returns: the controller's answer as a NUL-terminated text (simulator: "O1234" while a program
 *          started with prgCycleStart runs, else "O000c" for channel c); "Unknown" when the
 *          controller never answered with a name; "" when the channel's low 8 bits are outside
 *          1..98 (nothing sent); the one-character text "o" (the byte 111) when no valid reply
 *          came or the aux client is not connected; null when cncID is not registered.
 *          The text is kept per calling thread and cncID: it stays valid until the same thread's
 *          next getRuningPrg with the same cncID (other threads' calls do not touch it; nor
 *          does removeTargetCnc), or until the thread ends. Do not free it.
 * Reports: none.
 * Blocks: one request on the aux client. */
ACM_EXPORT char* getRuningPrg(CncLong channel, int cncID);

/* =========================================================================================
 * Single bits and bit groups of the controller's I/O tables (all on the channel client)
 *
 * These ask the controller directly, by table number; reading and writing number the tables
 * differently:
 *   read   getIBit 0 (I), getOBit 1 (O), getCBit 2 (C), getSBit 3 (S), getABit 4 (A)
 *   write  setPlcOBit 0 (PLC's O), setCncOBit 1 (CNC's O), setCBit 2, setSBit 3, setABit 4
 * (The simulator keeps the bits as the reads number the tables, so setPlcOBit's and setCncOBit's
 * bits read back through getOBit and setCBit's through getCBit.)
 * Codes, reports, bounds and outputs as for the hand motion group.
 *   index  the bit's number in its table, passed unchanged
 *   value  (get) receives the bit, 0 or 1 as the controller answers; (set) the new value,
 *          passed unchanged
 * ========================================================================================= */

ACM_EXPORT CncLong getIBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getOBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getCBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getSBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getABit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong setPlcOBit(CncLong channel, CncLong index, CncLong value, int cncID);
/*   extra  a fifth value of the request, passed unchanged; its meaning is the controller's
 *          (0 is what the other set functions send; the simulator ignores it) */
ACM_EXPORT CncLong setCncOBit(CncLong channel, CncLong index, CncLong value, CncLong extra, int cncID);
ACM_EXPORT CncLong setCBit(CncLong channel, CncLong index, CncLong value, int cncID);
ACM_EXPORT CncLong setSBit(CncLong channel, CncLong index, CncLong value, int cncID);
ACM_EXPORT CncLong setABit(CncLong channel, CncLong index, CncLong value, int cncID);
/* getIbits: ask for a group of input bits.
 *   elements  count values sent after the channel, passed unchanged; their meaning is the
 *             controller's; may be null when count is 0
 *   count     0..121 (121 fill the 500-byte request frame)
 *   first, second  receive the answer's two values (the simulator answers 0 and 0)
 * Returns also 1 when count is outside 0..121 or elements is null with count > 0. */
ACM_EXPORT CncLong getIbits(CncLong channel, CncLong* elements, CncLong count, CncLong* first, CncLong* second,
                            int cncID);
/* setPlcObits: write a group of the PLC's output bits.
 *   first, second  count values each, sent as the pairs (first[i], second[i]) in order, passed
 *                  unchanged; their meaning is the controller's (the simulator answers and
 *                  ignores them); may be null when count is 0
 *   count          0..32
 * Returns also 1 when count is outside 0..32 or an array is null with count > 0. */
ACM_EXPORT CncLong setPlcObits(CncLong channel, CncLong* first, CncLong* second, CncLong count, int cncID);
/* setCncObits: write a group of the CNC's output bits: as setPlcObits, with
 *   extra  a value sent before the pairs, passed unchanged */
ACM_EXPORT CncLong setCncObits(CncLong channel, CncLong* first, CncLong* second, CncLong count, CncLong extra,
                               int cncID);

/* =========================================================================================
 * Axes, servo, alarms and network address
 *
 * getAxisMotionStatus and getAxesMotionStatus run on the channel client; the others on the
 * target client, so they follow bit 0 of asyncMask even when they take a channel, and their
 * channel is not checked against the channel count. Codes, reports, bounds and outputs as for
 * the hand motion group (channel: no check on the target client). The request values that the
 * library gives no meaning are passed to the controller unchanged, in the order of the
 * parameters; each says what the bundled simulator does with them.
 * ========================================================================================= */

/* getAxisMotionStatus: motion status of one axis.
 *   channel  1..channel count
 *   axis     the axis
 *   status   receives the answer (simulator: 1 moving, 0 still) */
ACM_EXPORT CncLong getAxisMotionStatus(CncLong channel, CncLong axis, CncLong* status, int cncID);
/* getAxesMotionStatus: motion status of several axes.
 *   channel                1..channel count
 *   axisHBits, axisLBits   the axes asked about
 *   first, second          receive the answer's first and second value (simulator: the high
 *                          and low mask words of the moving axes among those asked) */
ACM_EXPORT CncLong getAxesMotionStatus(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                       CncLong* second, int cncID);
/* servoOnAxisSet: switch the servo of one axis. The request carries no channel.
 *   axis  first value (simulator: an axis of channel 1)
 *   on    second value (simulator: non-zero on, 0 off) */
ACM_EXPORT CncLong servoOnAxisSet(CncLong axis, CncLong on, int cncID);
/* servoOnAxesSet: switch the servos of several axes.
 *   channel               first value (simulator: the channel)
 *   axisHBits, axisLBits  second and third value (simulator: the axes, see "Axes")
 *   on                    fourth value (simulator: non-zero on, 0 off) */
ACM_EXPORT CncLong servoOnAxesSet(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong on, int cncID);
/* servoOnAxisGet: whether the servo of one axis is on. The request carries no channel.
 *   axis   the request's value (simulator: an axis of channel 1)
 *   value  receives the answer (simulator: 1 on, 0 off) */
ACM_EXPORT CncLong servoOnAxisGet(CncLong axis, CncLong* value, int cncID);
/* servoOnAxesGet: which servos of several axes are on. The request carries no channel.
 *   axisHBits, axisLBits  the request's two values (simulator: axes of channel 1)
 *   first, second         receive the answer's first and second value (simulator: the high
 *                         and low mask words of the axes whose servo is on) */
ACM_EXPORT CncLong servoOnAxesGet(CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second,
                                  int cncID);
/* getAxisCoord: coordinate of one axis.
 *   channel     first value (simulator: the channel)
 *   axis        second value (simulator: the axis)
 *   coordKind   third value; its meaning is the controller's (the simulator ignores it; 0)
 *   coord       receives the answer, in the controller's unit of length (simulator: the
 *               axis's position in whole units) */
ACM_EXPORT CncLong getAxisCoord(CncLong channel, CncLong axis, CncLong coordKind, CncLong* coord, int cncID);
/* getAxesCoord: coordinates of several axes.
 *   channel                   first value (simulator: the channel)
 *   value2, value3, value4    further values; their meaning is the controller's (the simulator
 *                             ignores them and answers with axes 0..3)
 *   count                     0 and up: entries of coords you provide
 *   coords                    receives the answer's coordinates in order, at most count of
 *                             them; entries beyond what the controller sent stay untouched (so
 *                             all of them on an asynchronous client); may be null when count is 0
 * Returns also 1 when count < 0 or coords is null with count > 0. */
ACM_EXPORT CncLong getAxesCoord(CncLong channel, CncLong value2, CncLong value3, CncLong value4, CncLong count,
                                CncLong* coords, int cncID);
/* alarmRead: the controller's alarm.
 *   channel                first value of the request, not checked (simulator: ignored)
 *   first, second, third   receive the answer's three values in order; their meaning is the
 *                          controller's. The simulator answers (1 when an alarm is raised else
 *                          0, the channel that raised it, the alarm number: 1001 for the
 *                          emergency stop). An answer without three values is no valid reply
 *                          (111, outputs untouched). */
ACM_EXPORT CncLong alarmRead(CncLong channel, CncLong* first, CncLong* second, CncLong* third, int cncID);
/* udpSetCncIp: give a controller its network address by UDP broadcast.
 *   ip  the address text, at most 255 bytes, sent as it is after the bytes 0x68 0x01 to the
 *       broadcast address, port 60007 (from local port 60007)
 *   cncID  any registered target (only its lock is used)
 * Client: target (its lock; works without a connection).
 * Returns: 0 sent (whatever answered); 10 local port 60007 could not be bound; 1 ip null or
 *          longer than 255 bytes, or cncID not registered.
 * Reports: none.
 * Blocks: at most 600 ms waiting for an answer, which is read and ignored; the target client's
 *         commands wait meanwhile. */
ACM_EXPORT CncLong udpSetCncIp(const char* ip, int cncID);
/* SetCncStaticIp: set the controller's static network address.
 *   value1 ... value6  the six values of the request, passed unchanged in this order; how they
 *                      spell the address is the controller's (the simulator answers state 0
 *                      and ignores them) */
ACM_EXPORT CncLong SetCncStaticIp(CncLong value1, CncLong value2, CncLong value3, CncLong value4, CncLong value5,
                                  CncLong value6, int cncID);

/* setCncType: tell the controller its type.
 *   type     the type code, sent as one byte; its meaning is the controller's (the simulator
 *            accepts any)
 *   channel  1..channel count, sent as one byte
 *   cncID    the target
 * Client: channel (the second parameter names it).
 * Returns: 0; 1 channel out of range or cncID not registered; 4; 7; 111; 101 the controller
 *          refused with state 1. Other refusal states are not seen: the result is then 0, or
 *          the code of an earlier failing reply on this client.
 * Reports: (4, 1, "parameters error.").
 * Blocks: synchronous: one request. Logs one line with the arguments. */
ACM_EXPORT CncLong setCncType(CncLong type, CncLong channel, int cncID);

/* =========================================================================================
 * Program text transfer (channel client; cycStart on the target client)
 *
 * A part program goes to a file of one channel in four steps: declare the file
 * (setTransFileType, or getTransFileState), write its text (overwrite, then append), close it
 * (fileEnd); uploadFile does all four. cycStart then starts a program by name. The steps are
 * tied together by the channel client: overwrite and append are accepted only after a
 * declaration or state query that the controller accepted and before the next fileEnd.
 * Use a synchronous channel client: on an asynchronous one the declaration's answer comes too
 * late for the next step, so setTransFileType (type other than 2) and uploadFile return 1.
 *
 * Text: up to its terminating 0, 7-bit only: a text holding a byte in 0x80..0xFF is refused whole
 * before anything is sent (1, and a report naming the byte and its offset), never cut short.
 * Sent in blocks of 400 bytes: an overwrite block first, then append blocks.
 * An append block refused with "DNC memory full" (state 3) is flow control, not a failure: the
 * memory frees as the machine runs the program, so the same block is offered again, after pauses
 * growing from 50 ms to 500 ms, for as long as the controller answers so (a program larger than
 * the DNC memory goes whole, however long that takes). disconnect of the target from another
 * thread ends that wait within one pause: the call returns 7. A full append block refused
 * otherwise (state 1 and the others but 0, 2, 3 and 100) is sent again as it was after 50 ms, at
 * most 20 times; then the transfer stops with 5 and the report (3, that block's state,
 * "append: ..."). The overwrite block, and the last, shorter append block refused other than
 * with state 3, are not sent again: their code is returned. Blocks before the failing one are
 * stored. State 2 means that the block was stored though the controller's memory is now full: it
 * counts as success.
 * A failed reply wait renews the link, and the controller forgets the declaration with the old
 * connection: overwrite and append then return 12 without sending until the file is declared
 * again.
 *
 * File names: up to 100 bytes (longer ones are cut to 100), ending at their first byte in 0x80..0xFF.
 * ========================================================================================= */

/* setTransFileType: declare the file the next text goes to; for a type other than 2 also empty it.
 *   type      the file type: accepted when its low four bits are 0, 1 or 2 (0, 1, 2, 16, 17,
 *             18, 32, ...); sent as 1 for 1, 3 for 2, 17 for 17 and 5 for every other. Its
 *             meaning is the controller's (the remote buffer declares its DNC file with 1 and its
 *             MDI file with 0; the simulator keeps every type alike).
 *   channel   1..channel count (and at most 99): the channel whose file it is
 *   fileName  the program's name
 *   cncID     the target
 * Client: channel. Type 2: only the declaration. Any other type: after the declaration an empty
 *         overwrite block (the file is emptied), whose result is returned.
 * Returns: 0 declared (and emptied); 1 channel out of range, fileName null, type refused, cncID
 *          not registered (nothing sent), or, for a type other than 2, the controller refused
 *          the declaration: its state then reaches only the error callback; 4; 7; 111.
 *          Type 2, the declaration refused: 100 execution alarm (state 100), 101 state 1, 102
 *          state 2 (the file is being executed), 100+s other states. Other types, the empty
 *          block refused: 100, 101, 103 (memory full), 100+s.
 * Reports: errorCmd 1 for a refused declaration, errorCmd 2 for the empty block.
 * Blocks: synchronous: one request, two for a type other than 2. Logs one line. */
ACM_EXPORT CncLong setTransFileType(CncLong type, CncLong channel, const char* fileName, int cncID);
/* getTransFileState: ask whether a file may be written; an accepted query counts as a
 * declaration for overwrite and append.
 *   type, channel, fileName, cncID: as for setTransFileType
 * Client: channel. Sends the query only, never an empty block.
 * Returns: 0 the file may be written; 1 channel out of range, fileName null, type refused, or
 *          cncID not registered; 4; 7; 111; 100 execution alarm; 101 state 1; 102 the file is
 *          being executed; 100+s other states.
 * Reports: errorCmd 1 with the state.
 * Blocks: synchronous: one request. Logs one line. */
ACM_EXPORT CncLong getTransFileState(CncLong type, CncLong channel, const char* fileName, int cncID);
/* overwrite: replace the declared file's text.
 *   text     the program text (see the group's head); "" empties the file
 *   channel  1..channel count
 *   cncID    the target
 * Client: channel. The first 400 bytes go as the overwrite block, the rest through append.
 * Returns: 0 stored; 1 channel out of range, text null, a byte of the text in 0x80..0xFF (nothing
 *          sent, reported), no accepted declaration, or cncID not registered; 7 (also: disconnect
 *          ended a wait for DNC memory); 12 the link was renewed since the declaration: declare
 *          again; 111; 100 execution alarm; 101 state 1; 103 memory full, the overwrite block not
 *          stored; 100+s other states; 5 the transfer stopped (see the group's head);
 *          asynchronous: 0 queued, 5 when the queue stayed full for 4 s.
 * Reports: errorCmd 2 (the overwrite block), 3 (append blocks), 1 (state 100).
 * Blocks: synchronous: one request per 400 bytes (a text of 400 * k bytes ends with an empty
 *         block), a refused full block up to 20 more after 50 ms each, a block refused with
 *         "memory full" until the controller takes it or disconnect is called; stops at the first
 *         unanswered request. Asynchronous: up to 4 s per block waiting for room in the queue.
 *         Logs one line with the text. */
ACM_EXPORT CncLong overwrite(const char* text, CncLong channel, int cncID);
/* append: add text to the declared file.
 *   text, channel, cncID: as for overwrite
 * Client: channel. Blocks of 400 bytes; a text of 400 * k bytes ends with an empty block. The
 *         last, shorter block is not sent again when refused: its code is returned.
 * Returns, Reports, Blocks: as overwrite (errorCmd 3). Logs one line with the text. */
ACM_EXPORT CncLong append(const char* text, CncLong channel, int cncID);
/* fileEnd: close the declared file. From now on the channel client takes no overwrite or
 * append until the next declaration, also when this request fails.
 *   channel  1..channel count
 *   cncID    the target
 * Client: channel.
 * Returns: 0 (every reply to it counts as success); 1 channel out of range or cncID not
 *          registered; 4; 7; 111.
 * Reports: none.
 * Blocks: synchronous: one request. Logs one line. */
ACM_EXPORT CncLong fileEnd(CncLong channel, int cncID);
/* uploadFile: declare, write and close a program in one call: setTransFileType(type, channel,
 * fileName), overwrite(text), fileEnd(channel).
 *   type, channel  as for setTransFileType
 *   fileName       the program's name; it must not contain '/'
 *   text           the program text
 *   cncID          the target
 * Client: channel.
 * Returns: 0 stored and closed; 1 fileName or text null, fileName holding '/', a byte of the
 *          text in 0x80..0xFF (nothing sent; reported as errorCmd 2), or cncID not registered; otherwise the code of the first step that failed, as those
 *          functions give it. Nothing is undone then, and the file is not closed: call fileEnd.
 * Reports: as the three steps.
 * Blocks: synchronous: the three steps' requests: the declaration, the empty block (not for
 *         type 2), one block per 400 bytes of text (and one more), the file end, plus resent
 *         blocks; a silent controller: one request. */
ACM_EXPORT CncLong uploadFile(CncLong type, CncLong channel, const char* fileName, const char* text, int cncID);
/* cycStart: start a program by name on a channel.
 *   channel   1..99, sent as one byte; not checked against the channel count
 *   fileName  the program's name
 *   cncID     the target
 * Client: target (follows bit 0 of asyncMask).
 * Returns: 0 started (asynchronous: queued); 1 channel outside 1..99, fileName null, or cncID
 *          not registered; 4; 7; 111; 101 state 1; 102 a program runs on the channel; 103 no
 *          such file on the channel; 200 execution alarm; 100+s other states. (The simulator
 *          keeps a program started by name running, so a second cycStart on that channel gives
 *          102 and a declaration of that file 102 too.)
 * Reports: (8, s, text) for every state s other than 0: "parameters error.", "program is
 *          runing.", "file is not exist.", or "".
 * Blocks: synchronous: one request. Logs one line. */
ACM_EXPORT CncLong cycStart(CncLong channel, const char* fileName, int cncID);

/* =========================================================================================
 * Controller files and error files (target client; getCurErrString on the channel client).
 * These need a synchronous client; on an asynchronous one their answers are lost.
 * ========================================================================================= */

/* getCncFileInf: information on a program or PLC file of the controller.
 *   type      1: program file; 0: PLC file (else 1, nothing sent)
 *   channel   written in decimal into the path, not checked: "/home/root/veko/usr/sys000" + c
 *             (c <= 9) or "/home/root/veko/usr/sys00" + c, then "/program/" or "/plc/", then
 *             fileName
 *   fileName  UTF-8; only characters up to U+00FF (the path goes as Latin-1), else 1; the
 *             whole path at most 492 bytes, so that its request fits the 500-byte frame: with a
 *             channel of 0..99, a program file's name up to 456 characters and a PLC file's up
 *             to 460; a longer one gives 1 and nothing is sent
 *   info      a buffer of at least 1024 bytes you provide; receives the controller's answer as
 *             UTF-8, cut to 1023 bytes, always NUL-terminated; "" when the call fails (and on an
 *             asynchronous client)
 *   cncID     the target
 * Client: target.
 * Returns: 0; 1 (see type, fileName; also info or fileName null, cncID not registered); 3 the
 *          controller answered with a failure (for example no such file); 4; 7; 111.
 * Reports: none.
 * Blocks: synchronous: one request. */
ACM_EXPORT CncLong getCncFileInf(CncLong type, CncLong channel, const char* fileName, char* info, int cncID);
/* writeCncFile: write a file on the controller: open, the content in pieces, close.
 *   type      a number sent with the open, passed unchanged; its meaning is the controller's
 *   fileName  UTF-8, sent as its bytes, at most 487 of them (the open request then fills the
 *             500-byte frame); a longer one gives 1 and nothing is sent
 *   content   UTF-8 text up to its terminating 0 (so it cannot hold 0 bytes), sent in pieces of
 *             at most 200 bytes that never split a character; a content whose last piece is full
 *             ends with an empty piece
 *             A name or content that is not well-formed UTF-8 is refused whole: 1, nothing sent,
 *             and a report naming the first byte that is not and its offset.
 *   cncID     the target
 * Client: target.
 * Returns: 0 written and closed; 100 the open failed (also when not connected or no reply came),
 *          nothing else was sent; 101 a piece failed, no close was sent; 102 the close failed;
 *          1 fileName or content null or not UTF-8, fileName longer than 487 bytes (nothing
 *          sent), or cncID not registered.
 * Reports: (13, 0, "onRecCmdBinFile error.") or (13, s, "") when the controller refuses a step;
 *          (13, -1, "writeCncFile: byte ...") for input that is not UTF-8.
 * Blocks: one request per step: 2 + one per 200 bytes; a silent controller: one request. */
ACM_EXPORT CncLong writeCncFile(CncLong type, const char* fileName, const char* content, int cncID);
/* getCncCurrentError: fetch a channel's current or historical error file.
 *   selector  channel * 10 for the current errors, channel * 10 + 1 for the history, channel
 *             0..8: 0, 1, 10, 11, ..., 80, 81
 *   cncID     the target
 * Client: target; must be synchronous. It writes the channel to variable 120139 and the request
 *         (1 current, 2 history) to 120138, waits 500 ms, reads 120138 back (0 = ready), then
 *         opens "sys000<c>/error/curError.error" (or hisError.error), reads it in pieces of 100
 *         bytes until a shorter one, and closes it. A piece the controller sends wrong (errorCmd
 *         12), the first one too, is asked again, at most 3 times in a row; a file that opened
 *         is closed whatever its pieces gave, unless a reply wait failed.
 * Returns: a text whose first character is a status digit, followed by:
 *            '0'  the file's bytes, exactly as the controller sent them (they may hold 0
 *                 bytes, and there is no length: the text may seem shorter than the file)
 *            '7'  "SocketDisconnected": not connected
 *            '9'  "Channel selection error": selector not in the list above (nothing sent)
 *            '8'  "timeout get curErrorerror file": the file was not ready after 500 ms
 *            '3'  the controller refused a step (the open: nothing follows; a piece three
 *                 times in a row, or the close: the bytes read so far follow), or the file
 *                 passed 1 MiB
 *          Another digit is the first digit of another result code: '7' alone when the link
 *          went down during the exchange, '4' on an asynchronous client. null when a reply
 *          wait failed (a silent controller) or cncID is not registered.
 *          The text is kept per calling thread and cncID: valid until the same thread's next
 *          getCncCurrentError with the same cncID (calls from other threads do not touch it;
 *          nor does removeTargetCnc), or until the thread ends. Do not free it.
 * Reports: errorCmd 11 (open refused), 12 (a piece of the wrong size), 13 (close refused), 6 (a
 *          variable write refused).
 * Blocks: holds the target client throughout: 2 variable writes, the 500 ms pause, 1 read, the
 *         open, one request per 100 bytes of the file (at most 1 MiB; a failing piece at most 3
 *         times), the close. A silent controller: one request (null). */
ACM_EXPORT char* getCncCurrentError(CncLong selector, int cncID);
/* getCurErrString: fetch the channel's current error text.
 *   channel  1..channel count, sent as one byte
 *   value    sent as one byte after the channel; which error it selects is the controller's
 *   text     a buffer of at least 1024 bytes you provide; receives the text, cut to 1023 bytes,
 *            always NUL-terminated; "" when the call fails
 *   cncID    the target
 * Client: channel; must be synchronous (on an asynchronous one: 0 and "").
 * Returns: 0; 1 channel out of range, text null, or cncID not registered; 7; 112 the length
 *          request failed (no reply, refused, queue full); 113 a text request failed, or three in
 *          a row brought nothing.
 * Reports: (13, 1, "onRecCmdBinFile error.") or (13, s, "") when the length request is refused.
 * Blocks: one request for the length, then one per piece until the announced length (at most
 *         1023 bytes) has come. */
ACM_EXPORT CncLong getCurErrString(CncLong channel, CncLong value, char* text, int cncID);

/* =========================================================================================
 * Remote buffer: stream program text to a channel over a connection and thread of its own
 *
 * bufOpen returns a handle that you own until bufClose; no target is involved. The buffer's
 * thread connects to port 60000 of the address, declares the channel's file ("DNC" or "MDI"),
 * then sends the text that bufWrite queued, 480 bytes per request, one request at a time,
 * pacing itself by the controller's replies. Poll getBufState:
 *   0  ready: the last request was acknowledged; queued text is being sent
 *   1  the controller is busy: the thread asks every 50 ms until it may go on
 *   2  the file is being declared (again)
 *   3  closed: connecting, the connection failed, or the stream stopped (see getBufStateInf);
 *      a stopped buffer never resumes: close it and open a new one
 *   4  the controller did not take the current request ("memory full" among others): it is
 *      sent again every 50 ms until a reply changes the state or bufClose ends it. An error
 *      reply counts only when nothing more of that request's answer follows within 500 ms (a
 *      real reply that does is the answer), so after one the request goes again about 550 ms
 *      later, never while the first send's reply may still come
 *   5  idle: everything queued has been sent and acknowledged: nothing is queued and no request
 *      awaits its reply. Only then may bufClose go without losing text
 * One request at a time is outstanding on the buffer's connection, so a reply that comes late is
 * still that request's: the buffer waits for it. The stream stops in state 3 only when no reply
 * has begun within the stall limit of 10 s ("No reply from the controller within 10 s; stream
 * stopped."), a reply is broken (not whole within 500 ms of its first byte, or answering nothing:
 * "No valid reply from the controller; stream stopped."), or the controller closed the
 * connection: the controller may or may not hold that request's text, so nothing more is sent;
 * the text still queued is not sent. A handle may be used from any thread, but
 * bufClose must not run while another call on the same handle runs.
 * ========================================================================================= */

/* Opaque handle of a remote buffer. */
typedef struct AcmRemoteBuffer AcmRemoteBuffer;

/* bufOpen: open a remote buffer to a controller's channel and start its thread.
 *   ip       the controller's address (numeric or host name), copied; "host:port" as for
 *            addTargetCnc
 *   mode     0 MDI: each bufWrite's text ends with a file end, and at most 102400 bytes go until
 *            bufClear; 1 DNC: an unending stream into one file
 *   channel  1..99
 * Returns: the handle, or null when ip is null, carries a malformed port or is a serial line's
 *          address (the stream needs a connection of its own), mode is not 0 or
 *          1, or channel is outside 1..99. It returns before the connection is made: the state
 *          is 3 until connected (at most 500 ms), then 2, then 5; "Connection to the controller
 *          failed." in state 3 tells that it did not connect.
 * Blocks: no. */
ACM_EXPORT AcmRemoteBuffer* bufOpen(const char* ip, int mode, int channel);
/* bufWrite: queue text for the controller.
 *   buffer  the handle
 *   text    the text, up to its terminating 0, copied
 * Returns: 1 queued (an empty text in DNC mode queues nothing and leaves the state as it is);
 *          0 refused, nothing queued: a byte of the text lies in 0x80..0xFF (the text is never
 *          cut short), the state is not 0 or 5 (so not before the file is declared: poll
 *          getBufState first), the text is longer than the room left (getBufValidCnt; in MDI
 *          mode also when its requests, one per 480 bytes and the file end, would take the
 *          queue past 1000), text null, or buffer null. A write is taken whole or not at all.
 * To stream a program larger than the room: write as much as getBufValidCnt gives (in DNC mode
 * a multiple of 480 bytes), wait while the buffer sends (the room grows as requests are
 * acknowledged), and write the next part; an MDI stream holds at most 102400 bytes until
 * bufClear.
 * Blocks: no. */
ACM_EXPORT CncLong bufWrite(AcmRemoteBuffer* buffer, const char* text);
/* bufClear: drop the queued text, declare the file again and empty it; in MDI mode the budget
 * starts afresh.
 *   buffer  the handle
 * Returns: 1 done; 0 refused: the state is not 0 or 5, or buffer null.
 * Blocks: no. */
ACM_EXPORT CncLong bufClear(AcmRemoteBuffer* buffer);
/* bufClose: stop the buffer's thread, close its connection and free it; queued text that was
 * not sent is dropped. The handle and every text of getBufStateInf are invalid afterwards.
 *   buffer  the handle
 * Returns: 1; 0 for a null handle.
 * Blocks: until the thread has ended: at most about 0.6 s (a reply wait looks at the close
 *         between reads of at most 0.6 s). */
ACM_EXPORT CncLong bufClose(AcmRemoteBuffer* buffer);
/* getBufValidCnt: how many more bytes bufWrite would take now.
 *   buffer  the handle
 * Returns: DNC: (1000 - queued requests) * 480; MDI: 102400 - bytes written since bufOpen or
 *          bufClear; never below 0; 0 when the state is not 0 or 5, or buffer is null.
 * Blocks: no. */
ACM_EXPORT CncLong getBufValidCnt(AcmRemoteBuffer* buffer);
/* getBufState: the buffer's state, 0..5 (see the group's head); 4 for a null handle.
 * It may change the moment after it was read.
 *   buffer  the handle
 * Blocks: no. */
ACM_EXPORT CncLong getBufState(AcmRemoteBuffer* buffer);
/* getBufStateInf: the text of the buffer's last state change, for example "SetFileInf Ok",
 * "AppendTxt Ok", "fileEnd Ok", "Cnc Busy", "Command queue is empty.", "parameters error.",
 * "Connection to the controller failed.", "Connection closed by the controller; stream stopped.",
 * "No valid reply from the controller; stream stopped.", "No reply from the controller within
 * 10 s; stream stopped."; "" before the first.
 *   buffer  the handle
 * Returns: a NUL-terminated text owned by the buffer, valid until bufClose (a later state change
 *          returns another pointer, it does not overwrite this one); null for a null handle.
 * Blocks: no. */
ACM_EXPORT char* getBufStateInf(AcmRemoteBuffer* buffer);

/* =========================================================================================
 * FTP uploads to the controller (target client's lock only; they never use its connection)
 *
 * Each call starts a list of FTP commands and returns at once; 0 means started, not done. The
 * list connects to port 21 of hostIp (active mode, binary), logs in with the controller's user
 * and password, and runs its commands one after another; after each upload it tells the
 * controller's sync service (TCP port 60006 of hostIp) that files have arrived, waiting at most
 * 2 s to reach it. Where the list runs:
 * - Called from a Qt application's main thread (the thread of its QCoreApplication), or from a
 *   thread inside a running QEventLoop: in the calling thread, among the application's own
 *   events. It advances only while that thread runs its event loop (QCoreApplication::exec,
 *   QEventLoop::exec, processEvents).
 * - Called from any other thread, and from every thread of a program without a QCoreApplication
 *   (C, Python, ...): on the target's own FTP thread, which runs an event loop of the library's
 *   and needs no application object. The list advances by itself; the caller only polls. The
 *   thread starts with the target's first such call and ends with removeTargetCnc.
 * A refused connection or an error reply of the server ends the list at once; a server that
 * stays silent ends a step after 30 s.
 * Follow the upload with getFtpUploadFileProgress. A list that stops on a failure leaves the
 * progress below 100 and reports to the error callback that was installed when the FTP call was
 * made (errorCmd 20; cmdState the step that failed: 0 connect, 1 log in, 2 upload, 4 make the
 * folder; detail the reason, UTF-8), from the thread that runs the list and with no lock of the
 * library held. That callback must not remove its own target.
 * hostIp: the FTP server's address; null or "" means the address of the target client's last
 * successful connect.
 * A second FTP call on the same target starts a second list: both run on, the progress shows
 * the newer one.
 * ========================================================================================= */

/* ftpUploadFile: upload program or PLC files into a channel's folder.
 *   type     1: program files, to "/veko/usr/sys000<c>/program/" (c <= 9; "sys00<c>" from 10);
 *            0: PLC files, to ".../plc/"
 *   channel  c, written in decimal into the folder; not checked
 *   sPath    local paths, one per line ("\n" between them); an empty line ends the list. Each
 *            file keeps its name (the part after its last '/')
 *   hostIp   see above
 *   cncID    the target
 * Client: target (login user "root").
 * Returns: 0 started (with no path the list only connects and logs in); 1 type neither 0 nor 1
 *          (nothing started), or cncID not registered.
 * Blocks: no, but see the group's head. */
ACM_EXPORT CncLong ftpUploadFile(CncLong type, CncLong channel, const char* sPath, const char* hostIp, int cncID);
/* ftpUploadFileDes: upload one file to a given remote folder.
 *   source       the local path
 *   destination  the remote folder prefix: the remote name is destination followed directly by
 *                the file name of source, so end it with '/'
 *   hostIp       see above
 *   cncID        the target
 * Client: target (login user "root").
 * Returns: 0 started; 1 cncID not registered. */
ACM_EXPORT CncLong ftpUploadFileDes(const char* source, const char* destination, const char* hostIp, int cncID);
/* ftpUpdateSystem: upload a system update package to "updata/" + its file name (relative to the
 * login folder), logged in as user "ftp".
 *   source  the package's local path
 *   hostIp  see above
 *   cncID   the target
 * Returns: 0 started; 1 cncID not registered. */
ACM_EXPORT CncLong ftpUpdateSystem(const char* source, const char* hostIp, int cncID);
/* ftpMkdir: make one remote folder (its parent must exist).
 *   desPath  the remote folder
 *   hostIp   see above
 *   cncID    the target
 * Returns: 0 started; 1 cncID not registered. The progress reads 100 once the folder is made. */
ACM_EXPORT CncLong ftpMkdir(const char* desPath, const char* hostIp, int cncID);
/* getFtpUploadFileProgress: progress of the target's newest FTP list, in whole percent.
 *   cncID  the target
 * Returns: 0 before any FTP call; 0..99 while a file's data flows; 100 once that upload (or the
 *          folder) is done; with several files it goes from 0 to 100 for each. After a failure it
 *          stays where it was. 1.0 when cncID is not registered.
 * Blocks: no; any thread. */
ACM_EXPORT double getFtpUploadFileProgress(int cncID);

/* =========================================================================================
 * Per-target timing (version ACM_1.1)
 * These two came after the first release; their symbols carry the version node ACM_1.1, so a
 * program that calls them does not load with a library that lacks them (a program that loads
 * the library through AsyncCommModuleLoader.h finds their entries null there instead). Both
 * may be called at any time, from any thread, also while the target is connected and commands
 * run; the setting holds for every client of the target (its channels, the target client and
 * aux) from their next request on, until it is set again or the target is removed, across
 * disconnect and connect.
 * ========================================================================================= */

/* setReplyTimeout: how long each request of the target waits for its reply.
 *   timeoutMs  the whole wait for one reply, in ms: 100..60000, or 0 for the default (1.8 s,
 *              three waits of 600 ms)
 *   cncID      the target
 * A controller behind a slow link may need more than the default; every bound of "How long a
 * call can block" that counts 1.8 s per request then counts timeoutMs instead, on synchronous
 * clients and on the worker of an asynchronous one. A disconnect or removeTargetCnc does not wait
 * out a longer wait: a request waiting past 1.8 s when either is called gives up within 600 ms
 * (the request gets no reply: 111, or 7 where the link is gone).
 * Returns: 0 set; 1 cncID not registered, or timeoutMs outside 0 and 100..60000 (nothing changes).
 * Reports: none.
 * Blocks: no. */
ACM_EXPORT CncLong setReplyTimeout(CncLong timeoutMs, int cncID);
/* setPollInterval: how often an asynchronous client reads its registered variables and bits.
 *   intervalMs  the least time from the start of one poll cycle (all registered addresses read,
 *               62 to a request) to the start of the next, in ms: 1..60000, or 0 for the default:
 *               the next cycle follows at once, back to back
 *   cncID       the target
 * Without an interval a poll of a few variables keeps a core of the application and of the
 * controller busy; with one, between cycles the worker sleeps. A command queued meanwhile is sent
 * at once, not held for the next cycle; readVars and readBits answer from the last cycle, so
 * their values are up to intervalMs plus one cycle old. Synchronous clients do not poll; it
 * changes nothing for them. A disconnect or removeTargetCnc ends the sleep at once.
 * Returns: 0 set; 1 cncID not registered, or intervalMs outside 0..60000 (nothing changes).
 * Reports: none.
 * Blocks: no. */
ACM_EXPORT CncLong setPollInterval(CncLong intervalMs, int cncID);

#ifdef __cplusplus
}
#endif

#endif
