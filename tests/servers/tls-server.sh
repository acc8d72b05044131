#!/usr/bin/env bash
# Starts a test server of Debian's own on 127.0.0.1 with its own configuration, a
# certificate from a CA made here, and a port of its own, all in DIR:
#   ftps    vsftpd with explicit TLS; its anonymous user stands in for an account:
#           it logs in only with the password in DIR/password and writes in pub/
#           (root only: vsftpd chroots its anonymous user)
#   webdav  Apache httpd with mod_dav over HTTPS (and the same folders over plain
#           HTTP on the next port), basic authentication for alice; writes in www/
# The served folders are under DIR/root. Prints "PORT PID USER" once the server
# answers; stop it with kill PID (and wait for its children).
#   tls-server.sh ftps|webdav DIR
set -euo pipefail
kind=$1
dir=$(cd "$2" && pwd)
password="open sesame"
printf '%s\n' "$password" >"$dir/password"

ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
(cd "$dir" &&
    openssl req -x509 "${ec[@]}" -days 2 -subj '/CN=Vidlume test CA' -keyout ca.key -out ca.pem 2>/dev/null &&
    openssl req "${ec[@]}" -subj '/CN=127.0.0.1' -keyout server.key -out server.csr 2>/dev/null &&
    echo subjectAltName=IP:127.0.0.1 >ext &&
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile ext \
        -out server.pem 2>/dev/null)
chmod 755 "$dir"

answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
wait_for() {
    local wait
    for wait in $(seq 100); do
        answers "$1" && return 0
        sleep 0.05
    done
    return 1
}

case $kind in
ftps)
    [[ $(id -u) -eq 0 ]] && getent passwd ftp >/dev/null || { echo "vsftpd needs root and its user ftp" >&2; exit 77; }
    mkdir -p "$dir/root/pub" "$dir/empty"
    chmod 555 "$dir/root"
    chown ftp "$dir/root/pub"
    for attempt in $(seq 20); do
        port=$((20000 + ($$ * 11 + attempt * 137) % 20000))
        passive=$((40000 + ($$ * 13 + attempt * 71) % 20000))
        cat >"$dir/vsftpd.conf" <<CONFIG
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=YES
anon_root=$dir/root
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_world_readable_only=NO
anon_umask=022
secure_email_list_enable=YES
email_password_file=$dir/password
secure_chroot_dir=$dir/empty
ssl_enable=YES
ssl_ciphers=HIGH
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
rsa_cert_file=$dir/server.pem
rsa_private_key_file=$dir/server.key
pasv_min_port=$passive
pasv_max_port=$((passive + 20))
pasv_address=127.0.0.1
seccomp_sandbox=NO
vsftpd_log_file=$dir/vsftpd.log
CONFIG
        /usr/sbin/vsftpd "$dir/vsftpd.conf" </dev/null >/dev/null 2>&1 &
        pid=$!
        if wait_for "$port"; then
            echo "$port $pid anonymous"
            exit 0
        fi
        kill "$pid" 2>/dev/null || true
    done
    echo "vsftpd did not start" >&2
    exit 1
    ;;
webdav)
    mkdir -p "$dir/root/www" "$dir/run"
    htpasswd -i -c -B "$dir/users" alice <"$dir/password" 2>/dev/null
    [[ $(id -u) -ne 0 ]] || chown -R www-data "$dir/root/www" "$dir/run"
    modules=/usr/lib/apache2/modules
    for attempt in $(seq 20); do
        port=$((20000 + ($$ * 17 + attempt * 149) % 20000))
        {
            echo "ServerRoot $dir"
            echo "Listen 127.0.0.1:$port"
            echo "Listen 127.0.0.1:$((port + 1))"
            echo "PidFile $dir/run/httpd.pid"
            echo "ErrorLog $dir/error.log"
            echo "ServerName 127.0.0.1"
            echo "LogFormat \"%m %U authorization=%{Authorization}i\" requests"
            echo "CustomLog $dir/requests.log requests"
            for module in mpm_event authz_core authn_core authn_file auth_basic authz_user dav dav_fs ssl \
                socache_shmcb; do
                echo "LoadModule ${module}_module $modules/mod_$module.so"
            done
            [[ $(id -u) -ne 0 ]] || printf 'User www-data\nGroup www-data\n'
            echo "DocumentRoot $dir/root"
            echo "DavLockDB $dir/run/DavLock"
            echo "<VirtualHost 127.0.0.1:$port>"
            echo "  SSLEngine on"
            echo "  SSLCertificateFile $dir/server.pem"
            echo "  SSLCertificateKeyFile $dir/server.key"
            echo "</VirtualHost>"
            echo "<Directory $dir/root>"
            echo "  Dav On"
            echo "  AuthType Basic"
            echo "  AuthName test"
            echo "  AuthUserFile $dir/users"
            echo "  Require valid-user"
            echo "</Directory>"
        } >"$dir/httpd.conf"
        rm -f "$dir/run/httpd.pid"
        /usr/sbin/apache2 -f "$dir/httpd.conf" -k start >/dev/null 2>&1 || continue
        if wait_for "$port"; then
            for wait in $(seq 50); do
                [[ -s $dir/run/httpd.pid ]] && break
                sleep 0.1
            done
            echo "$port $(cat "$dir/run/httpd.pid") alice"
            exit 0
        fi
        [[ ! -s $dir/run/httpd.pid ]] || kill "$(cat "$dir/run/httpd.pid")" 2>/dev/null || true
    done
    echo "Apache httpd did not start" >&2
    exit 1
    ;;
*)
    echo "usage: $0 ftps|webdav DIR" >&2
    exit 2
    ;;
esac
