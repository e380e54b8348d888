#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

namespace velinor {

std::string ErrorText(int error) {
    switch (error) {
        case ENOENT:
            return "fichier ou dossier introuvable";
        case EACCES:
        case EPERM:
            return "accès refusé";
        case ENOSPC:
            return "plus de place sur le disque";
        case EDQUOT:
            return "quota de disque dépassé";
        case EROFS:
            return "disque en lecture seule";
        case EEXIST:
            return "le nom existe déjà";
        case EISDIR:
            return "c'est un dossier";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case ENAMETOOLONG:
            return "nom trop long";
        case EIO:
            return "erreur d'entrée-sortie du disque";
        case EBUSY:
        case ETXTBSY:
            return "fichier occupé";
        case EMFILE:
        case ENFILE:
            return "trop de fichiers ouverts";
        case EFBIG:
            return "fichier trop grand pour le disque";
        case EXDEV:
            return "pas sur le même disque";
        case ENOTEMPTY:
            return "le dossier n'est pas vide";
        case ELOOP:
            return "trop de liens symboliques";
        case ENOMEM:
            return "mémoire insuffisante";
        default:
            return std::strerror(error);
    }
}

}  // namespace velinor
